#ifndef INSPECTOR_H
#define INSPECTOR_H

#include "qmdcontroller.h"
#include "qmdobserver.h"
#include "qmdtypes.h"
// Complete, for the observer's inherited setController().
#include "qmdvelkacontroller.h"

#include <QMap>
#include <QPointer>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <memory>

class NetworkScene;
class QAbstractItemModel;
class QButtonGroup;
class QDockWidget;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QStackedWidget;
class QStandardItemModel;
class QTimeLine;
class SyncPortsList;
class Ui_InspectDocForm;
class Ui_InspectEdgeForm;
class Ui_InspectInstrumentForm;
class Ui_InspectNodeForm;
class Ui_InspectVoiceGroupForm;

// The property panel of a document window. It shows one of five pages at a
// time (Document, Instrument, Edge, Node, Voice Group), chosen with a row of
// icon buttons. The element pages follow the canvas selection: each edits the
// selected elements of its kind, several at once, through widgets bound to
// their document keys. The Instrument page follows its own instrument list.
// The Document page edits the document-wide keys, lists the MIDI ports that
// may carry the MIDI clock and shows the element totals.
//
// The panel knows no window: the window hands it the document (setDocument)
// and the MIDI port names (the two port-name slots).
class Inspector : public QWidget, public QmdObserver<QmdVelkaController>
{
    Q_OBJECT

public:
    // The stack's pages in order; each number is also its button's id.
    enum PageIndex { DocumentPage, InstrumentPage, EdgePage, NodePage, VoiceGroupPage };

    // What the panel keeps of one element type.
    struct ElementPage
    {
        QWidget *page = nullptr;        // null for text boxes
        QPushButton *button = nullptr;  // null for text boxes
        QLabel *totalLabel = nullptr;   // on the Document page
        QmdItemIdSet ids;               // every element of the type
        QmdItemIdSet selectedIds;       // the selected ones
    };

    // The dock is the one whose title follows the shown page; the window puts
    // the panel into it.
    Inspector(QWidget *parent, QDockWidget *dock);
    ~Inspector() override;

    // Follows a new controller (null allowed): rebinds every page and rebuilds
    // totals, selections and port lists.
    void setController(QmdVelkaController *controller) override;

    // The port names the panel lists, sorted, each once.
    QStringList midiInputPortNames() const { return m_midiInputPortNames; }
    QStringList midiOutputPortNames() const { return m_midiOutputPortNames; }

    const QMap<int, ElementPage> &elementPages() const { return m_elementPages; }
    QStackedWidget *stack() const { return m_stack; }
    QTimeLine *timeLine() const { return m_timeLine; }

signals:
    void visibilityToggled();

public slots:
    void reset();
    // The document the panel edits and the scene whose selection it follows.
    void setDocument(QmdVelkaController *controller, NetworkScene *scene);
    void setMidiInputPortNames(const QStringList &names);
    void setMidiOutputPortNames(const QStringList &names);
    void setFixedHeightSlot(int h);
    void transformToPage(int index, bool force, bool hideDuringTransform);
    void transformToPage(int index, bool force);
    void transformToPage(int index);
    void transformFinished();
    void onElementsAdded(const QmdItemIdList &idList);
    void onElementsRemoved(const QmdItemIdList &idList);
    void onElementSelectionChanged();
    void documentRescanMidiInputs();
    void documentRescanMidiOutputs();
    void onInstrumentsAddedOrRemoved();
    void onInstrumentSelectionChanged();
    void instrumentRescanMidiOutputs();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // One widget property tied to one key of every watched container.
    struct BindingRow
    {
        QObject *object;
        const char *property;
        const char *notifySignal; // SIGNAL() form; null for a display-only binding
        QString key;
        QVariant fallbackValue;
        QVariant mixedValue;
        QString label;
    };

    void init();
    int pageHeight(QWidget *page) const;
    QWidget *addPage(const QString &iconPath, const QString &toolTip, QPushButton **button = nullptr);
    void addElementPage(int type, const QString &iconPath, QLabel *totalLabel);
    void initDocumentPage();
    void initInstrumentPage();
    void initEdgePage();
    void initNodePage();
    void initVoiceGroupPage();

    void setInstrumentsModel(QAbstractItemModel *model);
    void connectColorButtons(QmdVelkaController *controller);
    void bindDocumentPage();
    void bindElementPage(int type, const QmdItemIdSet &ids);
    void bindRows(const QVector<BindingRow> &rows, const QmdIndexList &parents);
    QVector<BindingRow> elementBindingRows(int type) const;
    QVector<BindingRow> instrumentBindingRows() const;
    void unbindDescendants(QWidget *widget);
    void blankDescendants();
    void updateNodeInstrumentEnabled();
    void refreshInstrumentComboBoxes();
    void updateTotalLabels();
    QmdItemIdSet selectedInstruments() const;

    QPointer<QDockWidget> m_dock;
    QPointer<NetworkScene> m_scene;
    std::unique_ptr<Ui_InspectDocForm> m_docForm;
    std::unique_ptr<Ui_InspectInstrumentForm> m_instrumentForm;
    std::unique_ptr<Ui_InspectEdgeForm> m_edgeForm;
    std::unique_ptr<Ui_InspectNodeForm> m_nodeForm;
    std::unique_ptr<Ui_InspectVoiceGroupForm> m_voiceGroupForm;
    QTimeLine *m_timeLine = nullptr;
    QPointer<QWidget> m_pendingPage;
    QHBoxLayout *m_buttonsLayout = nullptr;
    QButtonGroup *m_buttonGroup = nullptr;
    QStackedWidget *m_stack = nullptr;
    QWidget *m_documentPage = nullptr;
    QPushButton *m_documentButton = nullptr;
    QWidget *m_instrumentPage = nullptr;
    QPushButton *m_instrumentButton = nullptr;
    // Ascending type: pages are visited in the order Edge, Node, Voice Group.
    QMap<int, ElementPage> m_elementPages;
    QStandardItemModel *m_emptyModel = nullptr;
    QmdItemIdSet m_selectedElements;
    std::unique_ptr<SyncPortsList> m_syncInputs;
    std::unique_ptr<SyncPortsList> m_syncOutputs;
    QStringList m_midiInputPortNames;
    QStringList m_midiOutputPortNames;
};

#endif // INSPECTOR_H
