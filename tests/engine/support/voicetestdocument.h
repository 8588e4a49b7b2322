#ifndef VOICETESTDOCUMENT_H
#define VOICETESTDOCUMENT_H

#include "feedbackevent.h"
#include "instrumentevent.h"
#include "instrumentplayer.h"
#include "qmdvelkacontroller.h"
#include "recordinginstrument.h"
#include "testsyncfactory.h"
#include "timedeventqueue.h"

#include <QHash>
#include <QList>
#include <QVariant>

#include <memory>
#include <vector>

class QmdMemModel;
class VoiceGroup;
// A small network document with a hand-set clock, built node by node, whose
// voice groups play into recorders. Voices are stepped at their arrival tick
// (a horizon of 0) unless the test sets another horizon after making it.
class VoiceTestDocument
{
public:
    static constexpr qint64 P = 665280; // ticks of one principal

    VoiceTestDocument();
    ~VoiceTestDocument();

    QmdVelkaController *controller() const { return m_controller.get(); }
    TestSync *sync() const;

    QmdItemId addNode(qint64 x, qint64 y, const QHash<QString, QVariant> &keys = {});
    // Also extends the from-node's "ArcUsageList" by "<edge>=1".
    QmdItemId addEdge(QmdItemId from, QmdItemId to, int path = 0);
    // Starts at instrument 1 unless keys say otherwise.
    QmdItemId addVoiceGroup(QmdItemId node, const QHash<QString, QVariant> &keys = {});
    void set(QmdItemId element, const QString &key, const QVariant &value);
    void remove(QmdItemId element);
    QVariant state(QmdItemId element, const QString &key) const;

    // A recorder playing the instrument id (owned by the controller once ready).
    RecordingInstrument *recorder(QmdItemId instrument);

    // Resets the controller (element states for every node and edge) and makes
    // the clock, at tick 0 and playing.
    void ready();
    // A started player for the voice-group element (owned by the document).
    VoiceGroup *startGroup(QmdItemId group);

    // Played-node records queued so far; the pipe is emptied.
    QList<FeedbackEvent> takeFeedback();

private:
    std::unique_ptr<QmdMemModel> m_model;
    std::unique_ptr<QmdVelkaController> m_controller;
    TestSyncFactory m_factory;
    QHash<QmdItemId, RecordingInstrument *> m_recorders;
    QList<VoiceGroup *> m_groups;
    bool m_ready = false;
};

#endif // VOICETESTDOCUMENT_H
