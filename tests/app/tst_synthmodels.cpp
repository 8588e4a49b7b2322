#include "fakesynth.h"
#include "synthchannelsmodel.h"
#include "synthinstrumentsmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

namespace {

QList<FakeSynth::Instrument> threeInstruments()
{
    return {{10, QStringLiteral("Piano"), {0, 0, 0}},
            {20, QStringLiteral("Organ"), {1, 2, 5}},
            {30, QStringLiteral("Strings"), {0, 0, 48}}};
}

} // namespace

class TestSynthModels : public QObject
{
    Q_OBJECT

private slots:
    void channelTableShowsEachChannelsInstrument();
    void channelTableHeaders_data();
    void channelTableHeaders();
    void instrumentChangeAnnouncesItsCell();
    void instrumentListFollowsTheSoundBank();
    void modelsEmptyWithoutSynthesizer();
    void modelsEmptyWhenTheSynthesizerIsDestroyed();
    void newSynthesizerReplacesTheOld();
};

void TestSynthModels::channelTableShowsEachChannelsInstrument()
{
    FakeSynth synth(QStringLiteral("Bank"), threeInstruments());
    synth.assign(3, 20);
    SynthChannelsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setSynth(&synth);

    QCOMPARE(model.rowCount(), 16);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("1"));
    QCOMPARE(model.data(model.index(15, 0)).toString(), QStringLiteral("16"));
    QCOMPARE(model.data(model.index(3, 1)).toString(), QStringLiteral("Organ"));
    QCOMPARE(model.data(model.index(4, 1)).toString(), QString()); // instrument 0: no name
    QVERIFY(!model.data(model.index(3, 1), Qt::EditRole).isValid());
    QVERIFY(!model.data(model.index(3, 1), Qt::ToolTipRole).isValid());
}

void TestSynthModels::channelTableHeaders_data()
{
    QTest::addColumn<int>("section");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("channel") << 0 << int(Qt::Horizontal) << int(Qt::DisplayRole)
                             << QVariant(QStringLiteral("MIDI Channel"));
    QTest::newRow("instrument") << 1 << int(Qt::Horizontal) << int(Qt::DisplayRole)
                                << QVariant(QStringLiteral("Instrument"));
    // Other orientations fall back to the base class: the section counted from 1.
    QTest::newRow("vertical") << 2 << int(Qt::Vertical) << int(Qt::DisplayRole) << QVariant(3);
    QTest::newRow("other role") << 0 << int(Qt::Horizontal) << int(Qt::ToolTipRole) << QVariant();
}

void TestSynthModels::channelTableHeaders()
{
    QFETCH(int, section);
    QFETCH(int, orientation);
    QFETCH(int, role);
    QFETCH(QVariant, expected);
    FakeSynth synth;
    SynthChannelsModel model;
    model.setSynth(&synth);
    QCOMPARE(model.headerData(section, Qt::Orientation(orientation), role), expected);
}

void TestSynthModels::instrumentChangeAnnouncesItsCell()
{
    FakeSynth synth(QStringLiteral("Bank"), threeInstruments());
    SynthChannelsModel model;
    model.setSynth(&synth);
    QSignalSpy spy(&model, &QAbstractItemModel::dataChanged);

    synth.assign(7, 30);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toModelIndex(), model.index(7, 1));
    QCOMPARE(spy.at(0).at(1).toModelIndex(), model.index(7, 1));
    QCOMPARE(model.data(model.index(7, 1)).toString(), QStringLiteral("Strings"));

    // A channel outside the table announces nothing.
    model.onInstrumentChanged(16);
    model.onInstrumentChanged(-1);
    QCOMPARE(spy.count(), 1);
}

void TestSynthModels::instrumentListFollowsTheSoundBank()
{
    FakeSynth synth(QStringLiteral("Bank"), threeInstruments());
    SynthInstrumentsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.setSynth(&synth);

    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("Piano"));
    QCOMPARE(model.data(model.index(2, 0)).toString(), QStringLiteral("Strings"));
    QVERIFY(!model.data(model.index(1, 0), Qt::DecorationRole).isValid());
    QVERIFY(synth.callsOf(QStringLiteral("setChannelInstrument")).isEmpty());
}

void TestSynthModels::modelsEmptyWithoutSynthesizer()
{
    SynthChannelsModel channels;
    SynthInstrumentsModel instruments;
    QCOMPARE(channels.rowCount(), 0);
    QCOMPARE(channels.columnCount(), 0);
    QCOMPARE(instruments.rowCount(), 0);
    QVERIFY(!channels.data(channels.index(0, 0)).isValid());
    // The header of an empty table still names its columns for a view.
    QCOMPARE(channels.headerData(0, Qt::Horizontal).toString(), QStringLiteral("MIDI Channel"));
}

void TestSynthModels::modelsEmptyWhenTheSynthesizerIsDestroyed()
{
    auto *synth = new FakeSynth(QStringLiteral("Bank"), threeInstruments());
    SynthChannelsModel channels;
    SynthInstrumentsModel instruments;
    QAbstractItemModelTester channelsTester(&channels,
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester instrumentsTester(
        &instruments, QAbstractItemModelTester::FailureReportingMode::QtTest);
    channels.setSynth(synth);
    instruments.setSynth(synth);
    QSignalSpy channelsReset(&channels, &QAbstractItemModel::modelReset);
    QSignalSpy instrumentsReset(&instruments, &QAbstractItemModel::modelReset);

    delete synth;
    QCOMPARE(channelsReset.count(), 1);
    QCOMPARE(instrumentsReset.count(), 1);
    QCOMPARE(channels.synth(), nullptr);
    QCOMPARE(instruments.synth(), nullptr);
    QCOMPARE(channels.rowCount(), 0);
    QCOMPARE(instruments.rowCount(), 0);
}

void TestSynthModels::newSynthesizerReplacesTheOld()
{
    FakeSynth first(QStringLiteral("First"), threeInstruments());
    FakeSynth second;
    SynthChannelsModel model;
    model.setSynth(&first);
    model.setSynth(&second);
    QSignalSpy spy(&model, &QAbstractItemModel::dataChanged);

    first.assign(2, 10); // no longer followed
    QCOMPARE(spy.count(), 0);
    second.assign(2, 10);
    QCOMPARE(spy.count(), 1);
}

QTEST_MAIN(TestSynthModels)
#include "tst_synthmodels.moc"
