#include "qmdvelkaexporter.h"
#include "qmdvelkakeys.h"

#include "qmdvelkavalues.h"
#include "tickpos.h"

#include <QBitArray>
#include <QColor>
#include <QFileInfo>
#include <QSaveFile>

using QmdVelkaValues::LeafPlace;

QmdVelkaExporter::QmdVelkaExporter(QmdModel *model, QIODevice *device, QObject *parent)
    : QmdPropertyListExporter(model, device, parent)
{
}

void QmdVelkaExporter::writeLeaf(const QmdIndex &index)
{
    const QVariant value = data(index);
    const QString key = index.key();
    const LeafPlace place = QmdVelkaValues::leafPlace(path(index));
    // A number without a word stays a number.
    const QString word = place == LeafPlace::ElementValue && QmdVelkaValues::isWordKey(key)
        ? QmdVelkaValues::wordOf(key, value)
        : QString();
    // A colour leaf that holds something else is written as what it holds,
    // and an invalid colour as an empty text, never as the black either would
    // turn into.
    const bool colour = value.metaType() == QMetaType::fromType<QColor>();
    QString text;
    if (place == LeafPlace::StyleColour && colour)
        text = value.value<QColor>().isValid() ? QmdVelkaValues::colourText(value.value<QColor>()) : QString();
    else if (!word.isEmpty())
        text = word;
    else if (place == LeafPlace::InstrumentValue && key == QmdVelkaKeys::Color && colour)
        text = QmdVelkaValues::opaqueColourText(value.value<QColor>());
    else if (value.metaType() == QMetaType::fromType<QmdVelka::TickPos>())
        text = QmdVelkaValues::positionText(value.value<QmdVelka::TickPos>());
    else if (value.metaType() == QMetaType::fromType<QBitArray>())
        text = QmdVelkaValues::channelText(value.toBitArray());
    else
        return QmdPropertyListExporter::writeLeaf(index);
    writeTextElement(QLatin1StringView("string"), text);
}

QFile::FileError QmdVelkaExporter::saveDocument(QmdModel *model, const QmdIndex &excluded, const QString &fileName,
                                                QString *errorString, QStringList *warnings)
{
    QString reason;
    const QFile::FileError error = writeDocument(model, excluded, fileName, &reason, warnings);
    if (errorString)
        *errorString = reason;
    return error;
}

QFile::FileError QmdVelkaExporter::writeDocument(QmdModel *model, const QmdIndex &excluded, const QString &fileName,
                                                 QString *errorString, QStringList *warnings)
{
    // A file that its mode makes read-only, or that this user may not write,
    // is refused even where the folder would let it be replaced.
    const QFileInfo target(fileName);
    if (target.isDir()) {
        *errorString = tr("A folder of this name is in the way.");
        return QFile::OpenError;
    }
    const QFile::Permissions permissions = target.permissions();
    const QFile::Permissions writableMode = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (target.exists() && (!(permissions & writableMode) || !(permissions & QFile::WriteUser))) {
        *errorString = tr("The file is read-only.");
        return QFile::PermissionsError;
    }

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        *errorString = file.errorString();
        return file.error() != QFile::NoError ? file.error() : QFile::OpenError;
    }
    QmdVelkaExporter exporter(model, &file);
    if (excluded.isValid())
        exporter.exclude(excluded);
    if (!exporter.write(QmdIndex())) {
        const QFile::FileError error = file.error();
        *errorString = file.errorString();
        file.cancelWriting();
        return error != QFile::NoError ? error : QFile::WriteError;
    }
    if (!file.commit()) {
        *errorString = file.errorString();
        return file.error() != QFile::NoError ? file.error() : QFile::WriteError;
    }
    if (warnings)
        *warnings = exporter.warnings();
    return QFile::NoError;
}
