#ifndef SHAREDDIALOGS_H
#define SHAREDDIALOGS_H

#include <QMetaObject>
#include <QObject>
#include <QPointer>

class QColor;
class QColorDialog;
class QFont;
class QFontDialog;

// The one font dialog and the one colour dialog of the process, shared by
// every window. An editor borrows a dialog by connecting one of its members to
// it; at most one receiver holds each dialog, and connecting another silently
// takes the dialog away from the previous one. The dialogs are non-modal and
// have no OK or Cancel buttons: every change reaches the receiver at once.
// Closing a dialog hides it; both live until the application goes.
class SharedDialogs : public QObject
{
    Q_OBJECT

public:
    // Made on first use, deleted with the application object.
    static SharedDialogs *instance();

    QFontDialog *fontDialog();
    QColorDialog *colorDialog();

    bool isFontDialogVisible() const;
    bool isColorDialogVisible() const;
    // The receivers now connected; null once destroyed or disconnected.
    QObject *fontDialogReceiver() const { return m_fontReceiver.data(); }
    QObject *colorDialogReceiver() const { return m_colorReceiver.data(); }

public slots:
    // Shows the dialog in front without taking the activation from the window
    // that had it.
    void showFontDialog();
    void showColorDialog();

    // Disconnects the dialog, then connects its current and chosen signals
    // (QFont or QColor) to member, given as SLOT() or SIGNAL() does, of
    // receiver. Returns false, with a warning and no receiver left, when
    // member cannot be connected.
    bool connectFontDialog(QObject *receiver, const char *member);
    bool connectColorDialog(QObject *receiver, const char *member);

    void disconnectFontDialog();
    void disconnectColorDialog();

    // Shows value in the dialog without telling the receiver.
    void updateFontDialog(const QFont &font);
    void updateColorDialog(const QColor &color);

signals:
    // previousReceiver no longer gets the colour dialog's colours: another
    // receiver was connected, the dialog was disconnected, or previousReceiver
    // is being destroyed (then it serves only to compare with).
    void colorDialogReleased(QObject *previousReceiver);

private:
    // What one borrowed dialog is connected to.
    struct Lease
    {
        QMetaObject::Connection current;
        QMetaObject::Connection chosen;
        QMetaObject::Connection receiverDestroyed;

        void cut();
    };

    explicit SharedDialogs(QObject *parent = nullptr);
    ~SharedDialogs() override;

    static void destroyInstance();
    static void showInFront(QWidget *dialog);

    void onFontReceiverDestroyed();
    void onColorReceiverDestroyed(QObject *receiver);

    QFontDialog *m_fontDialog = nullptr;
    QColorDialog *m_colorDialog = nullptr;
    QPointer<QObject> m_fontReceiver;
    QPointer<QObject> m_colorReceiver;
    Lease m_fontLease;
    Lease m_colorLease;
};

#endif // SHAREDDIALOGS_H
