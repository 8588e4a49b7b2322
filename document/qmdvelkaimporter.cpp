#include "qmdvelkaimporter.h"

#include "qmdvelkavalues.h"
#include "qmdmemmodel.h"
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

// Reads the document into a scratch model, so that a file that is not a
// network document is refused before anything of the open one is changed.
bool holdsDocument(const QByteArray &bytes, const QString &fileName)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QmdMemModel scratch;
    scratch.beginRequest(std::numeric_limits<QmdRequestId>::max(), Qmd::NoUndoHistory, QString());
    QmdVelkaImporter reader(&scratch, &buffer);
    const bool read = reader.read(QmdIndex());
    scratch.endRequest();
    if (!read) {
        qWarning().noquote() << fileName << reader.errorString();
        return false;
    }
    if (scratch.containerType(QmdIndex()) != Qmd::StrDict) {
        qWarning().noquote() << fileName << QmdVelkaImporter::tr("The file holds no document.");
        return false;
    }
    return true;
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
    if (!holdsDocument(bytes, fileName))
        return QFile::ReadError;

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QmdVelkaImporter reader(model, &buffer);
    reader.clear(QmdIndex());
    const QSignalBlocker blocker(model);
    reader.read(QmdIndex());
    return QFile::NoError;
}
