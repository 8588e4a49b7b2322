#include "canvasfixture.h"

#include "controllertest.h"
#include "displayscale.h"
#include "elementindexes.h"
#include "qmdmemmodel.h"

#include <QCoreApplication>
#include <QMouseEvent>

CanvasFixture::CanvasFixture(NetworkScene *scene)
{
    setDisplayScale(96, 96);
    QmdVelkaController::setPlayerFactory(&m_factory);
    m_model = std::make_unique<QmdMemModel>();
    m_controller = std::make_unique<QmdVelkaController>();
    m_controller->setModel(m_model.get());
    settle();
    m_scene.reset(scene ? scene : new NetworkScene);
    m_scene->setController(m_controller.get());
    settle();
}

CanvasFixture::~CanvasFixture()
{
    m_view.reset();
    m_scene.reset();
    m_controller.reset();
    m_model.reset();
    QmdVelkaController::setPlayerFactory(nullptr);
}

TestSync *CanvasFixture::sync() const
{
    return m_controller ? qobject_cast<TestSync *>(m_controller->sync()) : nullptr;
}

QmdItemId CanvasFixture::added(const QmdItemIdList &before) const
{
    settle();
    return ControllerTest::newId(before, m_controller->elementIds());
}

QmdItemId CanvasFixture::addNode(const QmdVelka::TickPos &pos)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddNode(pos);
    return added(before);
}

QmdItemId CanvasFixture::addEdge(QmdItemId from, QmdItemId to, int path)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddEdge(m_controller->elementIndex(from), m_controller->elementIndex(to),
                                 QmdVelka::EdgePath(path));
    return added(before);
}

QmdItemId CanvasFixture::addVoiceGroup(QmdItemId node)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddVoiceGroup(m_controller->elementIndex(node));
    return added(before);
}

QmdItemId CanvasFixture::addTextBox(const QmdVelka::TickPos &pos, const QString &text)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddTextBox(pos, text);
    return added(before);
}

void CanvasFixture::set(QmdItemId element, const QString &key, const QVariant &value)
{
    const std::optional<QmdIndex> record = existingElementIndex(m_controller.get(), element);
    if (!record)
        return;
    m_controller->requestSetData(key, value, *record, QmdRequestOptions(QStringLiteral("Set")));
    settle();
}

void CanvasFixture::setRoot(const QString &key, const QVariant &value)
{
    m_controller->requestSetData(key, value, QmdIndex(), QmdRequestOptions(QStringLiteral("Set")));
    settle();
}

void CanvasFixture::remove(QmdItemId element)
{
    m_controller->requestRemove(QmdItemIdList{element}, m_controller->findElementsIndex());
    settle();
}

void CanvasFixture::settle()
{
    ControllerTest::settle();
}

NetworkView *CanvasFixture::view()
{
    if (!m_view) {
        m_view = std::make_unique<NetworkView>();
        m_view->setAttribute(Qt::WA_DontShowOnScreen);
        m_view->setDragMode(QGraphicsView::RubberBandDrag);
        m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m_view->resize(1280, 800);
        m_view->setNetworkScene(m_scene.get());
        m_view->setController(m_controller.get());
        m_view->show();
        settle();
    }
    return m_view.get();
}

QPoint CanvasFixture::viewportPoint(const QPointF &scenePos)
{
    return view()->mapFromScene(scenePos);
}

void CanvasFixture::sendMouse(QEvent::Type type, const QPointF &scenePos, Qt::MouseButton button,
                              Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    QWidget *viewport = view()->viewport();
    const QPointF local = viewportPoint(scenePos);
    QMouseEvent event(type, local, viewport->mapToGlobal(local), button, buttons, modifiers);
    QApplication::sendEvent(viewport, &event);
}

void CanvasFixture::press(const QPointF &scenePos, Qt::KeyboardModifiers modifiers, Qt::MouseButton button)
{
    sendMouse(QEvent::MouseButtonPress, scenePos, button, button, modifiers);
}

void CanvasFixture::move(const QPointF &scenePos, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    sendMouse(QEvent::MouseMove, scenePos, Qt::NoButton, buttons, modifiers);
}

void CanvasFixture::release(const QPointF &scenePos, Qt::KeyboardModifiers modifiers, Qt::MouseButton button)
{
    sendMouse(QEvent::MouseButtonRelease, scenePos, button, Qt::NoButton, modifiers);
}

void CanvasFixture::click(const QPointF &scenePos, Qt::KeyboardModifiers modifiers)
{
    press(scenePos, modifiers);
    release(scenePos, modifiers);
    settle();
}

void CanvasFixture::doubleClick(const QPointF &scenePos)
{
    press(scenePos);
    release(scenePos);
    sendMouse(QEvent::MouseButtonDblClick, scenePos, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    release(scenePos);
    settle();
}

void CanvasFixture::drag(const QPointF &from, const QPointF &to, Qt::KeyboardModifiers modifiers)
{
    press(from, modifiers);
    constexpr int steps = 4;
    for (int i = 1; i <= steps; ++i) {
        move(from + (to - from) * i / steps, Qt::LeftButton, modifiers);
        settle();
    }
    release(to, modifiers);
    settle();
}

void CanvasFixture::deleteView()
{
    m_view.reset();
}

void CanvasFixture::deleteScene()
{
    m_scene.reset();
}

void CanvasFixture::deleteController()
{
    m_controller.reset();
}
