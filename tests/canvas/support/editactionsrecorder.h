#ifndef EDITACTIONSRECORDER_H
#define EDITACTIONSRECORDER_H

#include <QObject>
#include <QPointer>
#include <QStringList>

class NetworkScene;
class QmdVelkaController;

// Stands in for the document window as the canvas's edit-actions receiver: it
// records every call, and del() removes the scene's selected elements as the
// window's Delete does.
class EditActionsRecorder : public QObject
{
    Q_OBJECT

public:
    EditActionsRecorder(QmdVelkaController *controller, NetworkScene *scene);

    QStringList calls;

public slots:
    void cut() { calls.append(QStringLiteral("cut")); }
    void copy() { calls.append(QStringLiteral("copy")); }
    void paste() { calls.append(QStringLiteral("paste")); }
    void del();
    void selectAll() { calls.append(QStringLiteral("selectAll")); }

private:
    QPointer<QmdVelkaController> m_controller;
    QPointer<NetworkScene> m_scene;
};

#endif // EDITACTIONSRECORDER_H
