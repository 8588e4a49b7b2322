#include "qmdvelkaimporter.h"
#include "qmdvelkakeys.h"

#include "qmdmodel.h"
#include "qmdvelkavalues.h"
#include "stylepresets.h"
#include "tickpos.h"

#include <QBuffer>
#include <QDebug>
#include <QSignalBlocker>

#include <limits>

using QmdVelkaValues::LeafPlace;

namespace {
// A leaf as a warning shows it: a text in quotes, anything else as written.
QString leafText(const QmdPropertyListImporter::Leaf &leaf)
{
    if (leaf.tag == QLatin1String("string"))
        return QStringLiteral("\"%1\"").arg(leaf.text);
    if (leaf.text.isEmpty())
        return QStringLiteral("<%1/>").arg(leaf.tag);
    return QStringLiteral("<%1>%2</%1>").arg(leaf.tag, leaf.text);
}
} // namespace

QmdVelkaImporter::QmdVelkaImporter(QmdModel *model, QIODevice *device, QObject *parent)
    : QmdPropertyListImporter(model, device, parent)
{
}

QVariant QmdVelkaImporter::readLeaf(const Leaf &leaf)
{
    const QString key = leaf.key();
    const LeafPlace place = QmdVelkaValues::leafPlace(leaf.path);
    QmdVelkaValues::TimingRange range;
    if (place == LeafPlace::RootValue && QmdVelkaValues::timingRange(key, &range))
        return readTimingLeaf(leaf, range);
    if (place == LeafPlace::StyleColour || (place == LeafPlace::InstrumentValue && key == QmdVelkaKeys::Color))
        return readColourLeaf(leaf, place);
    if (leaf.tag != QLatin1String("string")) {
        const QVariant value = QmdPropertyListImporter::readLeaf(leaf);
        if (QmdVelkaValues::isUnsignedKey(place, key) && value.typeId() != QMetaType::UInt) {
            bool ok = false;
            const qlonglong number = value.toLongLong(&ok);
            if (ok && number >= 0 && number <= qlonglong(std::numeric_limits<uint>::max())
                && (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong))
                return QVariant(uint(number));
        }
        return value;
    }
    const QString &text = leaf.text;
    if (place == LeafPlace::ElementValue && QmdVelkaValues::isWordKey(key)) {
        bool known = false;
        const int value = QmdVelkaValues::valueOfWord(key, text, &known);
        if (!known && !text.isEmpty())
            warn(tr("\"%1\" is not a known %2; read as 0.").arg(text, key));
        return value;
    }
    if (place == LeafPlace::ElementValue && key == QmdVelkaKeys::TickPos)
        return QVariant::fromValue(QmdVelkaValues::positionFromText(text));
    if (key == QmdVelkaKeys::MidiChannels && QmdVelkaValues::isChannelText(text))
        return QmdVelkaValues::channelsFromText(text);
    return QmdPropertyListImporter::readLeaf(leaf);
}

QVariant QmdVelkaImporter::readColourLeaf(const Leaf &leaf, LeafPlace place)
{
    const bool text = leaf.tag == QLatin1String("string");
    const QColor colour = text ? QmdVelkaValues::colourFromText(leaf.text) : QColor();
    // An instrument without a colour of its own is written with an empty
    // text, and reads back as one.
    if (colour.isValid() || (text && leaf.text.isEmpty() && place == LeafPlace::InstrumentValue))
        return colour;
    // Not a colour: the key is left out, so the document shows what it shows
    // without it, and says which colour that is. Nothing is written in its
    // place as if it had been a colour.
    const QString given = leafText(leaf);
    if (place == LeafPlace::InstrumentValue) {
        warn(tr("%1 %2 is not a colour; left out, the instrument has no colour of its own.").arg(leaf.key(), given));
        return QVariant();
    }
    const QVariant preset = StylePresets::preset(StylePresets::defaultName()).value(leaf.key());
    if (preset.isValid())
        warn(tr("%1 %2 is not a colour; left out, the default colour %3 is used.")
                 .arg(leaf.key(), given, QmdVelkaValues::colourText(preset.value<QColor>())));
    else
        warn(tr("%1 %2 is not a colour; left out.").arg(leaf.key(), given));
    return QVariant();
}

QVariant QmdVelkaImporter::readTimingLeaf(const Leaf &leaf, const QmdVelkaValues::TimingRange &range)
{
    const QVariant value = QmdPropertyListImporter::readLeaf(leaf);
    if (!value.isValid())
        return value; // skipped with a warning: the document's default applies
    bool changed = false;
    const QVariant bounded = QmdVelkaValues::boundedTimingValue(range, value, &changed);
    if (changed) {
        warn(tr("%1 %2 is not a whole number from %3 to %4; read as %5.")
                 .arg(leaf.key(), leafText(leaf))
                 .arg(range.lowest)
                 .arg(range.highest)
                 .arg(bounded.toUInt()));
    }
    return bounded;
}

QFile::FileError QmdVelkaImporter::loadDocument(QmdModel *model, const QString &fileName, QString *errorString,
                                                QStringList *warnings)
{
    QString reason;
    QByteArray bytes;
    const QFile::FileError error = readFile(fileName, &bytes, &reason);
    if (error != QFile::NoError) {
        qWarning().noquote() << fileName << reason;
        if (errorString)
            *errorString = reason;
        return error;
    }

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QmdVelkaImporter reader(model, &buffer);
    // A file of another kind (a text, a picture) is named as such; a damaged
    // document says where it breaks.
    if (!reader.parse())
        reason = reader.hasPlistRoot() ? reader.errorString() : tr("This is not a Velka document.");
    else if (reader.topType() != Qmd::StrDict)
        reason = tr("The file holds no document.");
    if (!reason.isEmpty()) {
        qWarning().noquote() << fileName << reason;
        if (errorString)
            *errorString = reason;
        return QFile::ReadError;
    }
    // The checked tree replaces the document in one change; observers hear
    // of it through the caller's reset.
    const QSignalBlocker blocker(model);
    reader.read(QmdIndex());
    if (warnings)
        *warnings = reader.warnings();
    return QFile::NoError;
}
