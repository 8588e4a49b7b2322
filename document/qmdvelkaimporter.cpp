#include "qmdvelkaimporter.h"
#include "qmdvelkakeys.h"

#include "qmdmodel.h"
#include "qmdvelkavalues.h"
#include "tickpos.h"

#include <QBuffer>
#include <QDebug>
#include <QSignalBlocker>

#include <limits>

using QmdVelkaValues::LeafPlace;

QmdVelkaImporter::QmdVelkaImporter(QmdModel *model, QIODevice *device, QObject *parent)
    : QmdPropertyListImporter(model, device, parent)
{
}

QVariant QmdVelkaImporter::readLeaf(const Leaf &leaf)
{
    const QString key = leaf.key();
    const LeafPlace place = QmdVelkaValues::leafPlace(leaf.path);
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
    if (place == LeafPlace::StyleColour)
        return QmdVelkaValues::colourFromText(text);
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
    if (place == LeafPlace::InstrumentValue && key == QmdVelkaKeys::Color)
        return QmdVelkaValues::colourFromText(text);
    return QmdPropertyListImporter::readLeaf(leaf);
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
