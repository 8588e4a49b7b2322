#include "shareddialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>

namespace {

SharedDialogs *theInstance = nullptr;

} // namespace

void SharedDialogs::Lease::cut()
{
    QObject::disconnect(current);
    QObject::disconnect(chosen);
    QObject::disconnect(receiverDestroyed);
    *this = Lease();
}

SharedDialogs::SharedDialogs(QObject *parent)
    : QObject(parent)
{
}

SharedDialogs::~SharedDialogs()
{
    m_fontLease.cut();
    m_colorLease.cut();
    delete m_fontDialog;
    delete m_colorDialog;
}

SharedDialogs *SharedDialogs::instance()
{
    if (!theInstance) {
        theInstance = new SharedDialogs;
        // Post routines run first thing in the application's destructor, while
        // top-level widgets can still be deleted.
        qAddPostRoutine(&SharedDialogs::destroyInstance);
    }
    return theInstance;
}

void SharedDialogs::destroyInstance()
{
    delete theInstance;
    theInstance = nullptr;
}

QFontDialog *SharedDialogs::fontDialog()
{
    if (!m_fontDialog) {
        // Qt's own dialog: a native or portal one ignores NoButtons and sends
        // no live changes.
        m_fontDialog = new QFontDialog;
        m_fontDialog->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
        m_fontDialog->setModal(false);
    }
    return m_fontDialog;
}

QColorDialog *SharedDialogs::colorDialog()
{
    if (!m_colorDialog) {
        m_colorDialog = new QColorDialog;
        m_colorDialog->setOptions(QColorDialog::NoButtons | QColorDialog::ShowAlphaChannel
                                  | QColorDialog::DontUseNativeDialog);
        m_colorDialog->setModal(false);
        m_colorDialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                      | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint
                                      | Qt::MSWindowsFixedSizeDialogHint);
        // The fixed-size hint means nothing on X11; the size limits hold everywhere.
        m_colorDialog->setFixedSize(m_colorDialog->sizeHint());
    }
    return m_colorDialog;
}

bool SharedDialogs::isFontDialogVisible() const
{
    return m_fontDialog && m_fontDialog->isVisible();
}

bool SharedDialogs::isColorDialogVisible() const
{
    return m_colorDialog && m_colorDialog->isVisible();
}

void SharedDialogs::showFontDialog()
{
    showInFront(fontDialog());
}

void SharedDialogs::showColorDialog()
{
    showInFront(colorDialog());
}

void SharedDialogs::showInFront(QWidget *dialog)
{
    QWidget *active = QApplication::activeWindow();
    // show(), not open(): open() would make a parentless dialog window-modal.
    if (!dialog->isVisible())
        dialog->show();
    dialog->raise();
    if (active && active != dialog)
        active->activateWindow();
}

bool SharedDialogs::connectFontDialog(QObject *receiver, const char *member)
{
    disconnectFontDialog();
    if (!receiver || !member)
        return false;
    QFontDialog *dialog = fontDialog();
    Lease lease;
    lease.current = connect(dialog, SIGNAL(currentFontChanged(QFont)), receiver, member);
    lease.chosen = connect(dialog, SIGNAL(fontSelected(QFont)), receiver, member);
    if (!lease.current || !lease.chosen) {
        lease.cut();
        qWarning("SharedDialogs: the font dialog cannot reach %s of %s", member,
                 receiver->metaObject()->className());
        return false;
    }
    lease.receiverDestroyed = connect(receiver, &QObject::destroyed, this, &SharedDialogs::onFontReceiverDestroyed);
    m_fontLease = lease;
    m_fontReceiver = receiver;
    return true;
}

bool SharedDialogs::connectColorDialog(QObject *receiver, const char *member)
{
    disconnectColorDialog();
    if (!receiver || !member)
        return false;
    QColorDialog *dialog = colorDialog();
    Lease lease;
    lease.current = connect(dialog, SIGNAL(currentColorChanged(QColor)), receiver, member);
    lease.chosen = connect(dialog, SIGNAL(colorSelected(QColor)), receiver, member);
    if (!lease.current || !lease.chosen) {
        lease.cut();
        qWarning("SharedDialogs: the colour dialog cannot reach %s of %s", member,
                 receiver->metaObject()->className());
        return false;
    }
    lease.receiverDestroyed = connect(receiver, &QObject::destroyed, this, &SharedDialogs::onColorReceiverDestroyed);
    m_colorLease = lease;
    m_colorReceiver = receiver;
    return true;
}

void SharedDialogs::disconnectFontDialog()
{
    m_fontLease.cut();
    m_fontReceiver.clear();
}

void SharedDialogs::disconnectColorDialog()
{
    QObject *previous = m_colorReceiver.data();
    m_colorLease.cut();
    m_colorReceiver.clear();
    if (previous)
        emit colorDialogReleased(previous);
}

void SharedDialogs::updateFontDialog(const QFont &font)
{
    QFontDialog *dialog = fontDialog();
    const QSignalBlocker blocker(dialog);
    dialog->setCurrentFont(font);
}

void SharedDialogs::updateColorDialog(const QColor &color)
{
    QColorDialog *dialog = colorDialog();
    const QSignalBlocker blocker(dialog);
    dialog->setCurrentColor(color);
}

void SharedDialogs::onFontReceiverDestroyed()
{
    disconnectFontDialog();
}

// The guarded pointer already reads null here, so the receiver that goes is
// taken from the signal.
void SharedDialogs::onColorReceiverDestroyed(QObject *receiver)
{
    m_colorLease.cut();
    m_colorReceiver.clear();
    emit colorDialogReleased(receiver);
}
