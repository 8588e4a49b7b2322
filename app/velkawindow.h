#ifndef VELKAWINDOW_H
#define VELKAWINDOW_H

#include <QMainWindow>

class QmdMemModel;
class QmdVelkaController;

// The main window of one open network document. It owns the document's model
// and controller and shows the document's name in its title.
class VelkaWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit VelkaWindow(QWidget *parent = nullptr);
    // The controller goes before the model it watches.
    ~VelkaWindow() override;

    QmdVelkaController *controller() const { return m_controller; }

public slots:
    // Re-reads the file name and the clean state from the controller.
    void reset();
    void onFileLoaded();
    void onFileNameChanged(const QString &fileName);
    void onAtCleanStateChanged(bool atCleanState);

private:
    QmdMemModel *m_model = nullptr;
    QmdVelkaController *m_controller = nullptr;
};

#endif // VELKAWINDOW_H
