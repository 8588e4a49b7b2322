#ifndef CANVASFIXTURE_H
#define CANVASFIXTURE_H

#include "canvastestsync.h"
#include "elementitem.h"
#include "networkscene.h"
#include "qmdvelkacontroller.h"
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

    // Takes the scene (a NetworkScene when none is given) and gives it the
    // controller.
    explicit CanvasFixture(NetworkScene *scene = nullptr);
    ~CanvasFixture();

    QmdMemModel *model() const { return m_model.get(); }
    QmdVelkaController *controller() const { return m_controller.get(); }
    NetworkScene *scene() const { return m_scene.get(); }
    CanvasTestSync *sync() const;

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
    void deleteScene();
    void deleteController();

private:
    QmdItemId added(const QmdItemIdList &before) const;

    CanvasTestFactory m_factory;
    std::unique_ptr<QmdMemModel> m_model;
    std::unique_ptr<QmdVelkaController> m_controller;
    std::unique_ptr<NetworkScene> m_scene;
    // A NetworkView on the scene (1280 x 800, made directly, never a window)
    // joins here once the view exists.
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
