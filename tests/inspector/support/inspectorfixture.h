#ifndef INSPECTORFIXTURE_H
#define INSPECTORFIXTURE_H

#include "inspector.h"
#include "networkscene.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "tickpos.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QStringList>

#include <initializer_list>
#include <memory>

// One network document with an inspector, as a document window holds them: a
// model, its controller, a scene following the controller, and the panel in
// the dock of a plain main window, shown. Elements are selected through the
// scene's items.
//
// Every helper that changes the document lets the controller's signals arrive
// before it returns.
class InspectorFixture
{
public:
    static constexpr qint64 P = 665280; // ticks of one principal

    InspectorFixture();
    ~InspectorFixture();

    QmdVelkaController *controller() const { return m_controller.get(); }
    NetworkScene *scene() const { return m_scene.get(); }
    Inspector *inspector() const { return m_inspector; }
    QDockWidget *dock() const { return m_dock; }
    QMainWindow *window() const { return m_window.get(); }

    QmdItemId addNode(qint64 x, qint64 y = 0);
    QmdItemId addEdge(QmdItemId from, QmdItemId to);
    QmdItemId addVoiceGroup(QmdItemId node);
    QmdItemId addTextBox(qint64 x, qint64 y = 0);
    QmdItemId addInstrument(const QString &label, const QColor &color = Qt::red);
    void setElement(QmdItemId element, const QString &key, const QVariant &value);
    void setInstrument(QmdItemId instrument, const QString &key, const QVariant &value);
    QVariant element(QmdItemId element, const QString &key) const;
    QVariant instrument(QmdItemId instrument, const QString &key) const;

    // Makes exactly these elements the selection, in one selection change.
    void select(std::initializer_list<QmdItemId> ids);
    void select(const QmdItemIdList &ids);
    // Adds or removes elements from the selection, in one change.
    void setSelected(const QmdItemIdList &ids, bool selected);
    // Selects rows of the instrument list as a user would (Ctrl-click for
    // every row after the first).
    void selectInstruments(const QmdItemIdList &ids);

    // A widget of a page form by its page (the form's name) and object name.
    template <class T>
    T *widget(const char *form, const char *name) const
    {
        QWidget *page = m_inspector->findChild<QWidget *>(QLatin1String(form));
        return page ? page->findChild<T *>(QLatin1String(name)) : nullptr;
    }

    // The shown page's index in the stack.
    int currentPage() const;
    // The undo steps made since the mark.
    void markHistory();
    int stepsSinceMark() const;

    // Destroys the controller now (the panel stays).
    void destroyController();

    static void settle();

private:
    QmdItemId added(const QmdItemIdList &before) const;

    std::unique_ptr<QmdMemModel> m_model;
    std::unique_ptr<QmdVelkaController> m_controller;
    std::unique_ptr<NetworkScene> m_scene;
    std::unique_ptr<QMainWindow> m_window;
    QDockWidget *m_dock = nullptr;
    Inspector *m_inspector = nullptr;
    int m_historyMark = 0;
};

#endif // INSPECTORFIXTURE_H
