#ifndef QMDVELKAIMPORTER_H
#define QMDVELKAIMPORTER_H

#include "qmdpropertylistimporter.h"
#include "qmdvelkavalues.h"

#include <QFile>

// The property-list reader of network documents: reads back the words,
// colours, positions and channel masks that QmdVelkaExporter writes (element
// kinds and routes in any letter case, older words included). Every other
// value is read as a plain property list reads it.
class QmdVelkaImporter : public QmdPropertyListImporter
{
    Q_OBJECT

public:
    QmdVelkaImporter(QmdModel *model, QIODevice *device, QObject *parent = nullptr);

    // Also keeps the tempo and the terms of the principals-to-beats ratio in
    // their ranges, and leaves out a colour key whose value is not a colour
    // text; each with a warning.
    QVariant readLeaf(const Leaf &leaf) override;

    // Replaces the model's whole document with the one in fileName. The file
    // is read and checked first: one that cannot be opened or read (not a
    // regular file, larger than MaxFileSize), is not a property list of
    // version 1.0 or does not hold a string-keyed document leaves the model
    // untouched and gives the file's error (QFile::ReadError for content that
    // is not a document), with the reason in errorString. A document read
    // with skipped parts gives QFile::NoError and one line per skipped part
    // in warnings. The model's signals are blocked while the document is read
    // in; the caller brings observers up to date.
    static QFile::FileError loadDocument(QmdModel *model, const QString &fileName, QString *errorString = nullptr,
                                         QStringList *warnings = nullptr);

private:
    QVariant readTimingLeaf(const Leaf &leaf, const QmdVelkaValues::TimingRange &range);
    QVariant readColourLeaf(const Leaf &leaf, QmdVelkaValues::LeafPlace place);
};

#endif // QMDVELKAIMPORTER_H
