#ifndef CONTENTSCENTRING_H
#define CONTENTSCENTRING_H

#include <QObject>
#include <QPointer>

class NetworkScene;
class QGraphicsView;

// Brings a loaded document into sight: when none of its elements lies in
// the visible part of the canvas, the view centres on the scene's contents.
// It keeps watching from the load until the user first scrolls, clicks or
// types on the canvas, because the window may reach its final size (a
// window manager maximising it) and the scene its items only after the load.
class ContentsCentring : public QObject
{
    Q_OBJECT

public:
    ContentsCentring(QGraphicsView *view, NetworkScene *scene, QObject *parent = nullptr);

    bool isWatching() const { return m_watching; }

public slots:
    // Called when a document has been loaded.
    void watch();
    void stopWatching();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Once per turn of the event loop, after the view has followed the
    // change that asked for it.
    void scheduleCheck();
    void centreIfNothingShows();

    QPointer<QGraphicsView> m_view;
    QPointer<NetworkScene> m_scene;
    bool m_watching = false;
    bool m_checkScheduled = false;
};

#endif // CONTENTSCENTRING_H
