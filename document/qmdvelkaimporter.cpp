#include "qmdvelkaimporter.h"

#include "qmdmodel.h"
#include "qmdvelkavalues.h"
#include "tickpos.h"

#include <QBuffer>
#include <QDebug>
#include <QSignalBlocker>
#include <QXmlStreamReader>

#include <limits>

using QmdVelkaValues::LeafPlace;

QmdVelkaImporter::QmdVelkaImporter(QmdModel *model, QIODevice *device, QObject *parent)
    : QmdPropertyListImporter(model, device, parent)
{
}

QVariant QmdVelkaImporter::readLeaf(const QDomElement &element, const QmdIndex &target)
{
    const QString key = target.key();
    const LeafPlace place = QmdVelkaValues::leafPlace(*this, target);
    if (element.tagName() != QLatin1String("string")) {
        const QVariant value = QmdPropertyListImporter::readLeaf(element, target);
        if (QmdVelkaValues::isUnsignedKey(place, key) && value.typeId() != QMetaType::UInt) {
            bool ok = false;
            const qlonglong number = value.toLongLong(&ok);
            if (ok && number >= 0 && number <= qlonglong(std::numeric_limits<uint>::max())
                && (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong))
                return QVariant(uint(number));
        }
        return value;
    }
    const QString text = element.text().toLower();
    if (place == LeafPlace::StyleColour)
        return QmdVelkaValues::colourFromText(text);
    if (place == LeafPlace::ElementValue && QmdVelkaValues::isWordKey(key)) {
        bool known = false;
        const int value = QmdVelkaValues::valueOfWord(key, text, &known);
        if (!known && !text.isEmpty())
            warn(element, tr("\"%1\" is not a known %2; read as 0.").arg(element.text(), key));
        return value;
    }
    if (place == LeafPlace::ElementValue && key == QLatin1String("TickPos"))
        return QVariant::fromValue(QmdVelkaValues::positionFromText(text));
    if (key == QLatin1String("MidiChannels") && QmdVelkaValues::isChannelText(text))
        return QmdVelkaValues::channelsFromText(text);
    if (place == LeafPlace::InstrumentValue && key == QLatin1String("Color"))
        return QmdVelkaValues::colourFromText(text);
    return QmdPropertyListImporter::readLeaf(element, target);
}

namespace {

// Whether the file's top value is a string-keyed dict, that is a document and
// not a lone value or list: read as far as the dict's "ContainerType" pair
// only, the way the reader finds it.
bool holdsDocument(const QByteArray &bytes)
{
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement() || xml.name() != u"plist")
        return false;
    if (!xml.readNextStartElement() || xml.name() != u"dict")
        return false;
    while (xml.readNextStartElement()) {
        if (xml.name() != u"key") {
            xml.skipCurrentElement();
            continue;
        }
        if (xml.readElementText() != u"ContainerType")
            continue;
        return xml.readNextStartElement() && xml.name() == u"string" && xml.readElementText() == u"StrDict";
    }
    return false;
}

} // namespace

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
    if (!reader.parse())
        reason = reader.errorString();
    else if (!holdsDocument(bytes))
        reason = tr("The file holds no document.");
    if (!reason.isEmpty()) {
        qWarning().noquote() << fileName << reason;
        if (errorString)
            *errorString = reason;
        return QFile::ReadError;
    }
    reader.clear(QmdIndex());
    const QSignalBlocker blocker(model);
    reader.read(QmdIndex());
    if (warnings)
        *warnings = reader.warnings();
    return QFile::NoError;
}
