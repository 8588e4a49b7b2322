#include "abstractcontroller.h"
#include "abstractmodel.h"
#include "abstractview.h"
#include "cchangemodelevent.h"
#include "mchangecontrollerevent.h"
#include "vchangecontrollerevent.h"
#include "vmodelchangedevent.h"
#include "vsettingsevent.h"

#include <QtTest>

#include <memory>

namespace {

// What the handlers saw, in the order they saw it.
QStringList journal;

QString nameOf(const QObject *obj)
{
    return obj ? obj->objectName() : QStringLiteral("null");
}

void handBack(MvcBase *mvc, QEvent *event)
{
    if (auto *e = dynamic_cast<MvcEvent *>(event)) {
        if (auto *model = dynamic_cast<AbstractModel *>(mvc))
            model->mvcEvent(e);
        else if (auto *view = dynamic_cast<AbstractView *>(mvc))
            view->mvcEvent(e);
        else if (auto *controller = dynamic_cast<AbstractController *>(mvc))
            controller->mvcEvent(e);
    } else {
        journal << QStringLiteral("other event");
    }
}

class Model : public QObject, public AbstractModel
{
public:
    explicit Model(const QString &name) : AbstractModel(this) { setObjectName(name); }

    void changeControllerEvent(MChangeControllerEvent *event) override
    {
        AbstractModel::changeControllerEvent(event);
        journal << objectName() + QStringLiteral(": controller ")
                       + nameOf(controller() ? controller()->owner() : nullptr);
    }

protected:
    void customEvent(QEvent *event) override { handBack(this, event); }
};

class Controller : public QObject, public AbstractController
{
public:
    explicit Controller(const QString &name) : AbstractController(this) { setObjectName(name); }

protected:
    void customEvent(QEvent *event) override { handBack(this, event); }
};

class View : public QObject, public AbstractView
{
public:
    explicit View(const QString &name) : AbstractView(this) { setObjectName(name); }

    void changeControllerEvent(VChangeControllerEvent *event) override
    {
        AbstractView::changeControllerEvent(event);
        journal << objectName() + QStringLiteral(": controller ")
                       + nameOf(controller() ? controller()->owner() : nullptr);
    }
    void modelChangedEvent(VModelChangedEvent *event) override
    {
        AbstractView::modelChangedEvent(event);
        journal << objectName() + QStringLiteral(": model ")
                       + nameOf(model() ? model()->owner() : nullptr);
    }
    void modelReadyEvent(VEvent *) override { journal << objectName() + QStringLiteral(": ready"); }

protected:
    void customEvent(QEvent *event) override { handBack(this, event); }
};

// Delivers every event posted so far, and those they post in turn.
void drain()
{
    QCoreApplication::sendPostedEvents();
}

} // namespace

class TestMvcFramework : public QObject
{
    Q_OBJECT

private slots:
    void init() { journal.clear(); }

    void wiringReachesModelThenView()
    {
        Model model(QStringLiteral("m"));
        Controller controller(QStringLiteral("c"));
        View view(QStringLiteral("v"));
        controller.setModel(&model);
        controller.attachView(&view);
        QVERIFY(journal.isEmpty()); // nothing happens before the event loop runs

        const QStringList expected{"m: controller c", "v: controller c", "v: model m", "v: ready"};
        QTRY_COMPARE(journal, expected);
        QCOMPARE(controller.model(), &model);
        QCOMPARE(controller.views(), QSet<AbstractView *>{&view});
        QCOMPARE(view.model(), &model);
    }

    void viewAttachedBeforeTheModelIsReadiedTwice()
    {
        Model model(QStringLiteral("m"));
        Controller controller(QStringLiteral("c"));
        View view(QStringLiteral("v"));
        controller.attachView(&view);
        QTRY_COMPARE(journal, (QStringList{"v: controller c", "v: model null", "v: ready"}));

        journal.clear();
        controller.setModel(&model);
        QTRY_COMPARE(journal, (QStringList{"m: controller c", "v: model m", "v: ready"}));
    }

    void losingTheModelTellsNoView_data()
    {
        QTest::addColumn<bool>("destroyModel");
        QTest::newRow("null model set") << false;
        QTest::newRow("model destroyed") << true;
    }

    void losingTheModelTellsNoView()
    {
        QFETCH(bool, destroyModel);
        auto model = std::make_unique<Model>(QStringLiteral("m"));
        Controller controller(QStringLiteral("c"));
        View view(QStringLiteral("v"));
        controller.setModel(model.get());
        controller.attachView(&view);
        QTRY_COMPARE(journal.size(), 4);

        journal.clear();
        if (destroyModel)
            model.reset();
        else
            controller.setModel(nullptr);
        drain();
        QCOMPARE(controller.model(), nullptr);
        QCOMPARE(journal, QStringList());
    }

    void replacedModelDyingLeavesTheNewOne()
    {
        auto replaced = std::make_unique<Model>(QStringLiteral("m1"));
        Model current(QStringLiteral("m2"));
        Controller controller(QStringLiteral("c"));
        controller.setModel(replaced.get());
        QTRY_COMPARE(replaced->controller(), &controller);
        controller.setModel(&current);
        QTRY_COMPARE(current.controller(), &controller);

        replaced.reset();
        drain();
        QCOMPARE(controller.model(), &current);
    }

    void destroyedViewIsDetachedAndNeverReached()
    {
        Model first(QStringLiteral("m1"));
        Model second(QStringLiteral("m2"));
        Controller controller(QStringLiteral("c"));
        View keeper(QStringLiteral("keeper"));
        auto leaving = std::make_unique<View>(QStringLiteral("leaving"));
        controller.setModel(&first);
        controller.attachView(&keeper);
        controller.attachView(leaving.get());
        QTRY_COMPARE(leaving->model(), &first);
        // The first model's ready reaches the keeper after the views' model
        // changes; it belongs to the set-up, not to what is checked below.
        QTRY_VERIFY(journal.contains(QStringLiteral("keeper: ready")));

        // The model change is posted behind the detach event of the dying view.
        leaving.reset();
        controller.setModel(&second);
        journal.clear();
        QTRY_COMPARE(keeper.model(), &second);
        drain();
        QCOMPARE(controller.views(), QSet<AbstractView *>{&keeper});
        QCOMPARE(journal, (QStringList{"m2: controller c", "keeper: model m2", "keeper: ready"}));
    }

    void viewDestroyedBeforeItsAttachIsHandled()
    {
        Controller controller(QStringLiteral("c"));
        auto view = std::make_unique<View>(QStringLiteral("v"));
        controller.attachView(view.get());
        view.reset();
        drain();
        QVERIFY(controller.views().isEmpty());
        QCOMPARE(journal, QStringList());
    }

    void viewOutlivingItsControllerPostsNothing()
    {
        auto controller = std::make_unique<Controller>(QStringLiteral("c"));
        auto view = std::make_unique<View>(QStringLiteral("v"));
        controller->attachView(view.get());
        QTRY_COMPARE(journal.size(), 3);
        controller.reset();
        QCOMPARE(view->controller(), nullptr);
        view.reset();
        drain();
    }

    void controllerGoneBeforeTheViewHearsOfIt()
    {
        View view(QStringLiteral("v"));
        auto controller = std::make_unique<Controller>(QStringLiteral("c"));
        QCoreApplication::postEvent(&view, new VChangeControllerEvent(controller.get(), controller.get()));
        controller.reset();
        QTRY_COMPARE(journal, (QStringList{"v: controller null", "v: model null", "v: ready"}));
        QCOMPARE(view.controller(), nullptr);
    }

    void dependentViewsFollowTheirView()
    {
        Controller first(QStringLiteral("c1"));
        Controller second(QStringLiteral("c2"));
        View lead(QStringLiteral("lead"));
        View dependent(QStringLiteral("dependent"));
        View dropped(QStringLiteral("dropped"));
        first.attachView(&lead);
        QTRY_COMPARE(lead.controller(), &first);

        lead.addDependentView(&dependent);
        lead.addDependentView(&dropped);
        QTRY_COMPARE(dependent.controller(), &first);
        QTRY_COMPARE(dropped.controller(), &first);

        lead.removeDependentView(&dropped);
        QCOMPARE(lead.dependentViews(), QSet<AbstractView *>{&dependent});
        second.attachView(&lead);
        QTRY_COMPARE(dependent.controller(), &second);
        drain();
        QVERIFY(!first.views().contains(&dependent));
        QVERIFY(second.views().contains(&dependent));
        QCOMPARE(dropped.controller(), &first);
        QVERIFY(first.views().contains(&dropped));
    }

    // Events that only look like a view's by type number or family.
    void eventsOfAnotherKindAreIgnored_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("plain event of type 1000") << 0;
        QTest::newRow("settings family, type 1000") << 1;
        QTest::newRow("controller event of type 1000") << 2;
        QTest::newRow("generic family, unhandled type 1003") << 3;
    }

    void eventsOfAnotherKindAreIgnored()
    {
        QFETCH(int, kind);
        View view(QStringLiteral("v"));
        QEvent *event = nullptr;
        switch (kind) {
        case 0: event = new QEvent(QEvent::User); break;
        case 1: event = new VSettingsEvent(1000, nullptr); break;
        case 2: event = new CChangeModelEvent(nullptr); break;
        default: event = new VEvent(1003, nullptr); break;
        }
        QCoreApplication::postEvent(&view, event);
        drain();
        QCOMPARE(journal, kind == 0 ? QStringList{"other event"} : QStringList());
        QCOMPARE(view.controller(), nullptr);
    }
};

QTEST_GUILESS_MAIN(TestMvcFramework)
#include "tst_mvcframework.moc"
