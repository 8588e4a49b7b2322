#include "qmdvelkaimporter.h"

#include "qmdmodel.h"
#include "qmdvelkavalues.h"
#include "tickpos.h"

#include <QBuffer>
#include <QDebug>
#include <QSignalBlocker>
#include <QXmlStreamReader>

using QmdVelkaValues::LeafPlace;

QmdVelkaImporter::QmdVelkaImporter(QmdModel *model, QIODevice *device, QObject *parent)
    : QmdPropertyListImporter(model, device, parent)
{
}

QVariant QmdVelkaImporter::readLeaf(const QDomElement &element, const QmdIndex &target)
{
    if (element.tagName() != QLatin1String("string"))
        return QmdPropertyListImporter::readLeaf(element, target);
    const QString text = element.text().toLower();
    const QString key = target.key();
    const LeafPlace place = QmdVelkaValues::leafPlace(*this, target);
    if (place == LeafPlace::StyleColour)
        return QmdVelkaValues::colourFromText(text);
    if (place == LeafPlace::ElementValue && QmdVelkaValues::isWordKey(key))
        return QmdVelkaValues::valueOfWord(key, text);
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

QFile::FileError QmdVelkaImporter::loadDocument(QmdModel *model, const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return file.error() != QFile::NoError ? file.error() : QFile::OpenError;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFile::NoError)
        return file.error();

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QmdVelkaImporter reader(model, &buffer);
    if (!reader.parse()) {
        qWarning().noquote() << fileName << reader.errorString();
        return QFile::ReadError;
    }
    if (!holdsDocument(bytes)) {
        qWarning().noquote() << fileName << tr("The file holds no document.");
        return QFile::ReadError;
    }
    reader.clear(QmdIndex());
    const QSignalBlocker blocker(model);
    reader.read(QmdIndex());
    return QFile::NoError;
}
