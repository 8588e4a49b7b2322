#ifndef DOCUMENTBUILDER_H
#define DOCUMENTBUILDER_H

#include "qmdvelka.h"
#include "qmdtypes.h"

#include <QColor>
#include <QHash>
#include <QString>
#include <QList>
#include <QPair>
#include <QVariant>

#include <functional>

#include <memory>

class QmdMemModel;
class QmdVelkaController;

// Builds one network document through the controller's own requests, as a
// user would with the tools, and saves it through the controller's exporter.
// Positions are in principals (grid units).
class DocumentBuilder
{
public:
    DocumentBuilder();
    ~DocumentBuilder();

    QmdVelkaController &controller() const { return *m_controller; }

    // An instrument on the default port, playing on one MIDI channel (1 to 16).
    QmdItemId addInstrument(const QString &label, const QColor &colour, int channel);
    // A node playing the given lists; further keys are set in the same way.
    QmdItemId addNode(qreal x, qreal y, const QString &pitches, const QString &velocities = QStringLiteral("80"),
                      const QString &durations = QStringLiteral("100%"),
                      const QHash<QString, QVariant> &keys = {});
    // An edge; the from-node's edge-usage list gains "<edge>=1".
    QmdItemId addEdge(QmdItemId from, QmdItemId to, QmdVelka::EdgePath path = QmdVelka::CityBlock);
    // A voice group releasing its voice into the node, on the instrument.
    QmdItemId addVoiceGroup(QmdItemId node, QmdItemId instrument, const QString &pitch = QStringLiteral("C3"));
    // A text box with a bold title line and a paragraph.
    QmdItemId addTextBox(qreal x, qreal y, const QString &title, const QString &text);

    void set(QmdItemId element, const QHash<QString, QVariant> &keys);
    void setRoot(const QHash<QString, QVariant> &keys);
    // "<edge>=<uses>,..." for a node's edge-usage list.
    static QString usage(const QList<QPair<QmdItemId, int>> &entries);

    // Saves the document; false (with a message on stderr) when it fails.
    bool save(const QString &fileName);

private:
    QmdItemId addedElement(const std::function<void()> &request);
    void settle() const;

    std::unique_ptr<QmdMemModel> m_model;
    std::unique_ptr<QmdVelkaController> m_controller;
};

#endif // DOCUMENTBUILDER_H
