#include "inspectorfixture.h"

#include "controllertest.h"
#include "displayscale.h"
#include "elementitem.h"
#include "instrumentsview.h"

#include <QStackedWidget>
#include <QTest>

InspectorFixture::InspectorFixture()
{
    setDisplayScale(96, 96);
    m_model = std::make_unique<QmdMemModel>();
    m_controller = std::make_unique<QmdVelkaController>();
    m_controller->setModel(m_model.get());
    m_controller->requestSetUndoRedoLimit(100);
    settle();
    m_scene = std::make_unique<NetworkScene>();
    m_scene->setController(m_controller.get());

    m_window = std::make_unique<QMainWindow>();
    m_window->resize(900, 900);
    m_dock = new QDockWidget(m_window.get(), Qt::Tool);
    m_inspector = new Inspector(m_window.get(), m_dock);
    m_inspector->setDocument(m_controller.get(), m_scene.get());
    m_dock->setWidget(m_inspector);
    m_window->addDockWidget(Qt::RightDockWidgetArea, m_dock);
    m_dock->setFloating(false);
    m_window->show();
    settle();
}

// The window goes first, as in a document window.
InspectorFixture::~InspectorFixture()
{
    m_window.reset();
    m_scene.reset();
    m_controller.reset();
    m_model.reset();
}

void InspectorFixture::settle()
{
    ControllerTest::settle();
}

QmdItemId InspectorFixture::added(const QmdItemIdList &before) const
{
    settle();
    return ControllerTest::newId(before, m_controller->elementIds());
}

QmdItemId InspectorFixture::addNode(qint64 x, qint64 y)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddNode(QmdVelka::TickPos(x * P, y * P));
    return added(before);
}

QmdItemId InspectorFixture::addEdge(QmdItemId from, QmdItemId to)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddEdge(m_controller->elementIndex(from), m_controller->elementIndex(to));
    return added(before);
}

QmdItemId InspectorFixture::addVoiceGroup(QmdItemId node)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddVoiceGroup(m_controller->elementIndex(node));
    return added(before);
}

QmdItemId InspectorFixture::addTextBox(qint64 x, qint64 y)
{
    const QmdItemIdList before = m_controller->elementIds();
    m_controller->requestAddTextBox(QmdVelka::TickPos(x * P, y * P), QStringLiteral("<html><body>Text</body></html>"));
    return added(before);
}

QmdItemId InspectorFixture::addInstrument(const QString &label, const QColor &color)
{
    const QmdItemIdList before = m_controller->instrumentIds();
    m_controller->requestAddInstrument(label, color, QBitArray(16, true));
    settle();
    return ControllerTest::newId(before, m_controller->instrumentIds());
}

void InspectorFixture::setElement(QmdItemId element, const QString &key, const QVariant &value)
{
    m_controller->requestSetData(key, value, m_controller->elementIndex(element),
                                 QmdRequestOptions(QStringLiteral("Set")));
    settle();
}

void InspectorFixture::setInstrument(QmdItemId instrument, const QString &key, const QVariant &value)
{
    m_controller->requestSetData(key, value, m_controller->instrumentIndex(instrument),
                                 QmdRequestOptions(QStringLiteral("Set")));
    settle();
}

QVariant InspectorFixture::element(QmdItemId element, const QString &key) const
{
    return m_controller->elementData(element, key);
}

QVariant InspectorFixture::instrument(QmdItemId instrument, const QString &key) const
{
    return m_controller->instrumentData(instrument, key);
}

void InspectorFixture::select(std::initializer_list<QmdItemId> ids)
{
    select(QmdItemIdList(ids));
}

void InspectorFixture::select(const QmdItemIdList &ids)
{
    m_scene->blockSignals(true);
    m_scene->clearSelection();
    m_scene->blockSignals(false);
    setSelected(ids, true);
}

// Signals blocked while the items change, then one announcement, as a
// rubber band or a select-all makes.
void InspectorFixture::setSelected(const QmdItemIdList &ids, bool selected)
{
    m_scene->blockSignals(true);
    for (QmdItemId id : ids) {
        if (ElementItem *item = m_scene->elementItem(id))
            item->graphicsItem()->setSelected(selected);
    }
    m_scene->blockSignals(false);
    emit m_scene->selectionChanged();
    settle();
}

void InspectorFixture::selectInstruments(const QmdItemIdList &ids)
{
    auto *list = m_inspector->findChild<InstrumentsView *>(QStringLiteral("listView"));
    list->clearSelection();
    const QAbstractItemModel *model = list->model();
    bool first = true;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (!ids.contains(index.data(Qt::UserRole).toUInt()))
            continue;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, first ? Qt::NoModifier : Qt::ControlModifier,
                          list->visualRect(index).center());
        first = false;
    }
    settle();
}

int InspectorFixture::currentPage() const
{
    return m_inspector->stack()->currentIndex();
}

void InspectorFixture::markHistory()
{
    m_historyMark = m_controller->undoRedoCount();
}

int InspectorFixture::stepsSinceMark() const
{
    return m_controller->undoRedoCount() - m_historyMark;
}

void InspectorFixture::destroyController()
{
    m_scene->setController(nullptr);
    m_controller.reset();
}
