#include "filesdocument.h"

#include "controllertest.h"
#include "qmddirectmodelinterface.h"
#include "qmdmodel.h"
#include "qmdvelkacontroller.h"
#include "tickpos.h"

#include <QBitArray>
#include <QColor>

namespace FilesDocument {

namespace {

QString valueText(const QVariant &value)
{
    const int type = value.typeId();
    if (type == QMetaType::QColor)
        return QStringLiteral("QColor %1").arg(value.value<QColor>().name(QColor::HexArgb));
    if (value.metaType() == QMetaType::fromType<QmdVelka::TickPos>()) {
        const QmdVelka::TickPos pos = value.value<QmdVelka::TickPos>();
        return QStringLiteral("TickPos %1,%2").arg(pos.x).arg(pos.y);
    }
    if (type == QMetaType::QBitArray) {
        QString bits;
        const QBitArray array = value.toBitArray();
        for (qsizetype i = 0; i < array.size(); ++i)
            bits += array.testBit(i) ? QLatin1Char('1') : QLatin1Char('0');
        return QStringLiteral("QBitArray %1").arg(bits);
    }
    if (!value.isValid())
        return QStringLiteral("invalid");
    return QStringLiteral("%1 %2").arg(value.typeName(), value.toString());
}

void dumpInto(QString &text, const QmdDirectModelInterface &model, const QmdIndex &parent, int depth)
{
    const QString indent(depth * 2, QLatin1Char(' '));
    for (const QmdIndex &child : model.childIndexes(parent)) {
        const QString name = child.key().isEmpty() ? QString::number(child.id()) : child.key();
        switch (model.type(child)) {
        case Qmd::NoContainer:
            text += indent + name + QStringLiteral(" = ") + valueText(model.data(child)) + QLatin1Char('\n');
            break;
        case Qmd::IntDict:
        case Qmd::StrDict:
            text += indent + name + (model.type(child) == Qmd::IntDict ? QStringLiteral(" [IntDict]\n")
                                                                       : QStringLiteral(" [StrDict]\n"));
            dumpInto(text, model, child, depth + 1);
            break;
        }
    }
}

} // namespace

QString dump(QmdModel *model, const QmdIndex &parent)
{
    QString text;
    dumpInto(text, QmdDirectModelInterface(model), parent, 0);
    return text;
}

void buildSample(QmdVelkaController &c)
{
    using ControllerTest::newId;
    using QmdVelka::TickPos;
    QmdItemIdList before = c.elementIds();
    c.requestAddNode(TickPos(-665280, 1330560));
    const QmdIndex first = c.elementIndex(newId(before, c.elementIds()));
    before = c.elementIds();
    c.requestAddNode(TickPos(2000000, -7), QmdVelka::CreateHidden);
    const QmdIndex second = c.elementIndex(newId(before, c.elementIds()));
    c.requestSetData({{"SignallingMethod", 2}, {"PitchList", "C3, E3 & G3"}, {"DontPlayNote", true}}, second);

    c.requestAddEdge(first, second, QmdVelka::Direct);
    c.requestAddEdge(second, first, QmdVelka::CityBlockFlipped);
    c.requestAddEdge(first, first);
    c.requestAddVoiceGroup(first);
    c.requestAddTextBox(TickPos(5, 6), "<html><body>Plan &amp; \"notes\"</body></html>");

    QBitArray channels(16);
    channels.setBit(0);
    channels.setBit(2);
    c.requestAddInstrument("Lead", QColor(0, 128, 255), channels);
    c.requestAddInstrument();

    c.requestSetType("Port In 1", Qmd::StrDict, c.syncMidiInputsIndex());
    c.requestSetData("MidiSync", true, c.index("Port In 1", c.syncMidiInputsIndex()));
    c.requestSetType("Port Out 2", Qmd::StrDict, c.syncMidiOutputsIndex());
    c.requestSetData("MidiSync", false, c.index("Port Out 2", c.syncMidiOutputsIndex()));

    c.requestLoadStylePreset("Light");
    c.requestSetData({{"Tempo", 90u},
                      {"DivsPerPrincipal", 8u},
                      {"ZoomScale", 1.25},
                      {"ShowGrid", false},
                      {"StyleNodesColor", QColor(10, 20, 30, 128)},
                      {"PlaybackPosDisplayMode", 1}});
}

} // namespace FilesDocument
