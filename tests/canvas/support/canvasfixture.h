#ifndef CANVASFIXTURE_H
#define CANVASFIXTURE_H

#include "elementitem.h"
#include "networkscene.h"
#include "networkview.h"
#include "qmdvelkacontroller.h"
#include "testsyncfactory.h"
#include "tickpos.h"

#include <QApplication>
#include <QString>
#include <QTest>

#include <memory>

class QmdMemModel;

// One network document on a canvas, for canvas tests: an in-memory model, its
// controller with a hand-set clock and no players, and a scene that follows
// the controller. Nothing is shown: there is no window.
//
// The display scale is set to 96 DPI before anything else (scale 4/3: one
// principal is 160 scene units), so positions come out the same on every
// machine.
//
// Every helper that changes the document lets the controller's signals arrive
// before it returns, so the scene's items are up to date.
class CanvasFixture
{
public:
    static constexpr qint64 P = 665280; // ticks of one principal
    // The clock converts like one at 120 beats per minute with one beat per
    // principal: two principals a second, so 100 ms are 133056 ticks.
    static constexpr quint64 TicksPerSecond = 2 * P;

    // Takes the scene (a NetworkScene when none is given) and gives it the
    // controller.
    explicit CanvasFixture(NetworkScene *scene = nullptr);
    ~CanvasFixture();

    QmdMemModel *model() const { return m_model.get(); }
    QmdVelkaController *controller() const { return m_controller.get(); }
    NetworkScene *scene() const { return m_scene.get(); }
    TestSync *sync() const;

    QmdItemId addNode(const QmdVelka::TickPos &pos);
    QmdItemId addEdge(QmdItemId from, QmdItemId to, int path = 0);
    QmdItemId addVoiceGroup(QmdItemId node);
    QmdItemId addTextBox(const QmdVelka::TickPos &pos,
                         const QString &text = QStringLiteral("<html><body>Text</body></html>"));
    // Sets one key of an element, as one request.
    void set(QmdItemId element, const QString &key, const QVariant &value);
    // Sets one document-wide key, as one request.
    void setRoot(const QString &key, const QVariant &value);
    void remove(QmdItemId element);

    // A 1280 x 800 view of the scene, made on first use the way the document
    // window makes it: rubber-band drag, both scroll bars shown, following the
    // controller. It is shown but never put on a screen, so it has its size
    // and its viewport without a window of its own.
    NetworkView *view();
    // Viewport point of a scene point, and the user's mouse on the viewport at
    // a scene point. move() carries the buttons held.
    QPoint viewportPoint(const QPointF &scenePos);
    void press(const QPointF &scenePos, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
               Qt::MouseButton button = Qt::LeftButton);
    void move(const QPointF &scenePos, Qt::MouseButtons buttons = Qt::LeftButton,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void release(const QPointF &scenePos, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                 Qt::MouseButton button = Qt::LeftButton);
    // Press, release and let the notifications arrive.
    void click(const QPointF &scenePos, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // A double-click as the window system delivers it: press, release, double
    // click, release; then the notifications arrive.
    void doubleClick(const QPointF &scenePos);
    // Press at from, move in steps to to, release there, settle.
    void drag(const QPointF &from, const QPointF &to, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    // Lets every queued controller signal arrive.
    static void settle();

    // The scene's item of the element, as T; null when it has none or it is
    // of another class.
    template <class T>
    T *itemFor(QmdItemId id) const
    {
        return m_scene ? dynamic_cast<T *>(m_scene->elementItem(id)) : nullptr;
    }

    // Deletes the scene or the controller early (a window closing, a document
    // torn down first). The fixture's destructor copes with either being gone;
    // the helpers that change the document need the controller.
    void deleteView();
    void deleteScene();
    void deleteController();

private:
    QmdItemId added(const QmdItemIdList &before) const;
    void sendMouse(QEvent::Type type, const QPointF &scenePos, Qt::MouseButton button, Qt::MouseButtons buttons,
                   Qt::KeyboardModifiers modifiers);

    TestSyncFactory m_factory{TicksPerSecond};
    std::unique_ptr<QmdMemModel> m_model;
    std::unique_ptr<QmdVelkaController> m_controller;
    std::unique_ptr<NetworkScene> m_scene;
    std::unique_ptr<NetworkView> m_view;
};

// main() of a canvas test: offscreen, whatever the environment says.
#define CANVAS_TEST_MAIN(TestObject)                                    \
    int main(int argc, char *argv[])                                    \
    {                                                                   \
        qputenv("QT_QPA_PLATFORM", "offscreen");                        \
        QApplication::setAttribute(Qt::AA_Use96Dpi, true);              \
        QApplication app(argc, argv);                                   \
        TestObject tc;                                                  \
        QTEST_SET_MAIN_SOURCE_PATH                                      \
        return QTest::qExec(&tc, argc, argv);                           \
    }

#endif // CANVASFIXTURE_H
