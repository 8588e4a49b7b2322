#ifndef QMDVELKAEXPORTER_H
#define QMDVELKAEXPORTER_H

#include "qmdpropertylistexporter.h"

#include <QFile>

// The property-list writer of network documents: element kinds, edge routes
// and signalling methods are written as words, style colours as "#rrggbbaa",
// instrument colours as "#rrggbb", positions as "{x, y}" and channel masks as
// strings of "0" and "1". Every other value is written as a plain property
// list writes it.
class QmdVelkaExporter : public QmdPropertyListExporter
{
    Q_OBJECT

public:
    QmdVelkaExporter(QmdModel *model, QIODevice *device, QObject *parent = nullptr);

    void writeLeaf(const QmdIndex &index) override;

    // Writes the model's whole document, without the excluded entry (the
    // document's run-time data), to fileName. The file it replaces is kept
    // until the new one is complete: the document is written to a temporary
    // file in the same folder that then takes the target's place, keeping
    // its permissions. A target whose mode makes it read-only, or that this
    // user may not write, is left as it is (QFile::PermissionsError); a
    // folder gives QFile::OpenError; any other failure is the file's own
    // error, described in errorString. A document saved with characters that
    // a file cannot hold (replaced by U+FFFD) gives QFile::NoError and one
    // line per changed key or value in warnings.
    static QFile::FileError saveDocument(QmdModel *model, const QmdIndex &excluded, const QString &fileName,
                                         QString *errorString = nullptr, QStringList *warnings = nullptr);

private:
    static QFile::FileError writeDocument(QmdModel *model, const QmdIndex &excluded, const QString &fileName,
                                          QString *errorString, QStringList *warnings);
};

#endif // QMDVELKAEXPORTER_H
