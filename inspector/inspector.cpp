#include "inspector.h"

#include "colorchooserbutton.h"
#include "edgeusagelisteditor.h"
#include "elementtypename.h"
#include "flashingvalidator.h"
#include "instrumentsmodel.h"
#include "instrumentsview.h"
#include "listexpressions.h"
#include "networkscene.h"
#include "portnames.h"
#include "qmdvelka.h"
#include "qmdvelkakeys.h"
#include "qmdvelkavalues.h"
#include "qwpcombobox.h"
#include "syncportslist.h"

#include "ui_InspectDocForm.h"
#include "ui_InspectEdgeForm.h"
#include "ui_InspectInstrumentForm.h"
#include "ui_InspectNodeForm.h"
#include "ui_InspectVoiceGroupForm.h"

#include <QAbstractSpinBox>
#include <QBitArray>
#include <QButtonGroup>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStyle>
#include <QTimeLine>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int TransitionMs = 250;
constexpr int TransitionUpdateMs = 10;
constexpr int PanelWidth = 285;
constexpr int PageButtonHeight = 24;
const QColor PanelBoxColor(223, 228, 234);

const char *const PageButtonStyle
    = "QPushButton {     background-image: url(:/images/Inspector/InspectPageButtonNormal.png);     "
      "border-style: outset;%1}"
      "QPushButton:pressed {     background-image: url(:/images/Inspector/InspectPageButtonPressed.png);}"
      "QPushButton:checked {     background-image: url(:/images/Inspector/InspectPageButtonSelected.png);}";
const char *const FirstPageButtonBorder = "border-width: 0px 0px 0px 0px;";
const char *const PageButtonBorder
    = "border-width: 0px 0px 0px 1px;border-image: url(:/images/Inspector/InspectPageButtonSeparator.png);";

// Expressions of the voice group's initial values: one velocity from 0 to
// 127, one duration of up to four digits before and after the point.
const char *const InitialVelocityExpression = "(([0-9]{1,2})|(1[01][0-9])|(12[0-7]))";
const char *const InitialDurationExpression = "([0-9]{0,4}\\.)?[0-9]{1,4}";

QStringList sortedPortNames(const QStringList &names)
{
    QStringList sorted = names;
    std::sort(sorted.begin(), sorted.end(), portNameLessThan);
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    return sorted;
}

QmdItemIdList sortedIds(const QmdItemIdSet &ids)
{
    QmdItemIdList list(ids.cbegin(), ids.cend());
    std::sort(list.begin(), list.end());
    return list;
}

QmdController::WatchMap watchMap(const QmdIndexList &parents, const QString &key)
{
    QmdController::WatchMap watches;
    watches.reserve(parents.size());
    const QStringList keys(key);
    for (const QmdIndex &parent : parents)
        watches.insert(parent, keys);
    return watches;
}

} // namespace

Inspector::Inspector(QWidget *parent, QDockWidget *dock)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_dock(dock)
    , m_docForm(new Ui_InspectDocForm)
    , m_instrumentForm(new Ui_InspectInstrumentForm)
    , m_edgeForm(new Ui_InspectEdgeForm)
    , m_nodeForm(new Ui_InspectNodeForm)
    , m_voiceGroupForm(new Ui_InspectVoiceGroupForm)
{
    init();
    setController(nullptr);
}

Inspector::~Inspector()
{
    if (QmdVelkaController *old = controller()) {
        disconnect(old, nullptr, this, nullptr);
        disconnect(old->instrumentsModel(), nullptr, this, nullptr);
    }
    if (m_scene)
        disconnect(m_scene, nullptr, this, nullptr);
    if (QItemSelectionModel *selection = m_instrumentForm->listView->selectionModel())
        disconnect(selection, nullptr, this, nullptr);
    disconnect(m_timeLine, nullptr, this, nullptr);
}

void Inspector::init()
{
    setWindowTitle(tr("Inspector"));
    m_emptyModel = new QStandardItemModel(this);

    m_timeLine = new QTimeLine(TransitionMs, this);
    m_timeLine->setUpdateInterval(TransitionUpdateMs);
    connect(m_timeLine, &QTimeLine::frameChanged, this, &Inspector::setFixedHeightSlot);
    connect(m_timeLine, &QTimeLine::finished, this, &Inspector::transformFinished);

    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);
    m_buttonsLayout = new QHBoxLayout;
    m_buttonsLayout->setContentsMargins(0, 0, 0, 0);
    m_buttonsLayout->setSpacing(0);
    mainLayout->addLayout(m_buttonsLayout);
    m_stack = new QStackedWidget(this);
    m_stack->setObjectName(QStringLiteral("stack"));
    m_stack->setContentsMargins(0, 0, 0, 0);
    mainLayout->addWidget(m_stack, 0);
    mainLayout->addStretch();

    m_buttonGroup = new QButtonGroup(this);
    m_buttonGroup->setExclusive(true);
    connect(m_buttonGroup, &QButtonGroup::idClicked, this, qOverload<int>(&Inspector::transformToPage));

    m_documentPage = addPage(QStringLiteral(":/images/Inspector/InspectDocument.png"), tr("Document"),
                             &m_documentButton);
    m_docForm->setupUi(m_documentPage);
    m_instrumentPage = addPage(QStringLiteral(":/images/Inspector/InspectInstrument.png"), tr("Instrument"),
                               &m_instrumentButton);
    m_instrumentForm->setupUi(m_instrumentPage);
    addElementPage(QmdVelka::Edge, QStringLiteral(":/images/Inspector/InspectEdge.png"),
                   m_docForm->totalEdgesLabel);
    m_edgeForm->setupUi(m_elementPages[QmdVelka::Edge].page);
    addElementPage(QmdVelka::Node, QStringLiteral(":/images/Inspector/InspectNode.png"),
                   m_docForm->totalNodesLabel);
    m_nodeForm->setupUi(m_elementPages[QmdVelka::Node].page);
    addElementPage(QmdVelka::VoiceGroup, QStringLiteral(":/images/Inspector/InspectVoiceGroup.png"),
                   m_docForm->totalVoiceGroupsLabel);
    m_voiceGroupForm->setupUi(m_elementPages[QmdVelka::VoiceGroup].page);
    ElementPage textBoxes;
    textBoxes.totalLabel = m_docForm->totalTextBoxesLabel;
    m_elementPages.insert(QmdVelka::TextBox, textBoxes);

    m_documentButton->setObjectName(QStringLiteral("documentButton"));
    m_instrumentButton->setObjectName(QStringLiteral("instrumentButton"));
    m_elementPages[QmdVelka::Edge].button->setObjectName(QStringLiteral("edgeButton"));
    m_elementPages[QmdVelka::Node].button->setObjectName(QStringLiteral("nodeButton"));
    m_elementPages[QmdVelka::VoiceGroup].button->setObjectName(QStringLiteral("voiceGroupButton"));

    initDocumentPage();
    initInstrumentPage();
    initEdgePage();
    initNodePage();
    initVoiceGroupPage();

    setStyleSheet(QStringLiteral("SectionLabel { font-weight: bold; }"));

    m_documentButton->setChecked(true);
    setFixedWidth(PanelWidth);
    transformToPage(DocumentPage, true, true);
}

QWidget *Inspector::addPage(const QString &iconPath, const QString &toolTip, QPushButton **button)
{
    auto *page = new QWidget(m_stack);
    const int index = m_stack->addWidget(page);
    page->installEventFilter(this);

    auto *pageButton = new QPushButton(this);
    pageButton->setFlat(true);
    pageButton->setCheckable(true);
    pageButton->setIcon(QIcon(iconPath));
    pageButton->setToolTip(toolTip);
    pageButton->setStyleSheet(QString::fromLatin1(PageButtonStyle)
                                  .arg(QLatin1String(index == 0 ? FirstPageButtonBorder : PageButtonBorder)));
    pageButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    pageButton->setFixedHeight(PageButtonHeight);
    m_buttonsLayout->addWidget(pageButton);
    m_buttonGroup->addButton(pageButton, index);
    if (button)
        *button = pageButton;
    return page;
}

void Inspector::addElementPage(int type, const QString &iconPath, QLabel *totalLabel)
{
    ElementPage record;
    record.page = addPage(iconPath, elementTypeName(type), &record.button);
    record.totalLabel = totalLabel;
    m_elementPages.insert(type, record);
}

// ---- Page set-up ----

void Inspector::initDocumentPage()
{
    Ui_InspectDocForm &form = *m_docForm;
    form.tabWidget->setCurrentWidget(form.networkTab);
    QmdVelkaValues::TimingRange tempo;
    QmdVelkaValues::timingRange(QmdVelkaKeys::Tempo, &tempo);
    form.tempoSpinBox->setRange(int(tempo.lowest), int(tempo.highest));
    form.midiInputsBox->setStyleSheet(QStringLiteral(
        "QWidget#midiInputsBox  { background: rgb(223, 228, 234); border: 1px solid palette(mid); }"));
    form.midiOutputsBox->setStyleSheet(QStringLiteral(
        "QWidget#midiOutputsBox { background: rgb(223, 228, 234); border: 1px solid palette(mid); }"));
    m_syncInputs = std::make_unique<SyncPortsList>(
        form.midiInputsBox, &QmdVelkaController::syncMidiInputsIndex,
        tr("Remove Offline Non-MidiSync Input Port Entry"), tr("Create Midi Input Port Entry"), tr("(offline)"),
        tr("Midi Sync"));
    m_syncOutputs = std::make_unique<SyncPortsList>(
        form.midiOutputsBox, &QmdVelkaController::syncMidiOutputsIndex,
        tr("Remove Offline Non-MidiSync Output Port Entry"), tr("Create Midi Output Port Entry"), tr("(offline)"),
        tr("Midi Sync"));
    // Filled before any controller listens, so that filling applies no preset.
    form.presetsComboBox->clear();
    form.presetsComboBox->addItems(QmdVelkaController::stylePresetNames());
}

void Inspector::initInstrumentPage()
{
    Ui_InspectInstrumentForm &form = *m_instrumentForm;
    form.listView->setAttribute(Qt::WA_MacShowFocusRect, false);
    form.listAddButton->setStyleSheet(QStringLiteral(
        "QPushButton {  border: 0px;  background-image: url(:/images/Inspector/ListAddNormal.png);}"
        "QPushButton:pressed {  background-image: url(:/images/Inspector/ListAddPressed.png);}"));
    form.listActionButton->setStyleSheet(QStringLiteral(
        "QPushButton {  border: 0px;  background-image: url(:/images/Inspector/ListActionNormal.png);}"
        "QPushButton:pressed {  background-image: url(:/images/Inspector/ListActionPressed.png);}"));
    form.colorButton->setIgnoreAlpha(true);
    instrumentRescanMidiOutputs();
    form.listActionButton->hide();
}

void Inspector::initEdgePage()
{
    Ui_InspectEdgeForm &form = *m_edgeForm;
    const QStringList icons{QStringLiteral(":/images/Inspector/EdgePathCityBlock.png"),
                            QStringLiteral(":/images/Inspector/EdgePathCityBlockFlipped.png"),
                            QStringLiteral(":/images/Inspector/EdgePathDirect.png")};
    for (const QString &icon : icons)
        form.pathChooser->addTab(QIcon(icon));
    form.pathChooser->setTabToolTip(QmdVelka::CityBlock, tr("City block"));
    form.pathChooser->setTabToolTip(QmdVelka::CityBlockFlipped, tr("City block flipped"));
    form.pathChooser->setTabToolTip(QmdVelka::Direct, tr("Direct"));
    // The scale list stays bound, but is not shown.
    form.line->hide();
    form.scalingSection->hide();
    form.scaleListLabel->hide();
    form.scaleListEdit->hide();
}

void Inspector::initNodePage()
{
    Ui_InspectNodeForm &form = *m_nodeForm;
    QPalette palette = form.edgeUsageList->palette();
    palette.setBrush(QPalette::Base, PanelBoxColor);
    form.edgeUsageList->setPalette(palette);
    form.addEdgeUsageButton->setMenu(form.edgeUsageList->addMenu());
    form.addEdgeUsageButton->setStyleSheet(
        QStringLiteral("QPushButton::menu-indicator {     image: url(:/images/AlphaPixel.png);}"));
}

void Inspector::initVoiceGroupPage()
{
    Ui_InspectVoiceGroupForm &form = *m_voiceGroupForm;
    form.pitchEdit->setValidator(new FlashingValidator(noteNameExpression(), form.pitchEdit));
    form.velocityEdit->setValidator(
        new FlashingValidator(QString::fromLatin1(InitialVelocityExpression), form.velocityEdit));
    form.durationEdit->setValidator(
        new FlashingValidator(QString::fromLatin1(InitialDurationExpression), form.durationEdit));
}

// ---- Document and controller ----

void Inspector::setDocument(QmdVelkaController *newController, NetworkScene *scene)
{
    if (m_scene)
        disconnect(m_scene, nullptr, this, nullptr);
    m_scene = scene;
    if (scene)
        connect(scene, &QGraphicsScene::selectionChanged, this, &Inspector::onElementSelectionChanged);
    setController(newController);
}

void Inspector::setController(QmdVelkaController *newController)
{
    if (QmdVelkaController *old = controller()) {
        if (QItemSelectionModel *selection = m_instrumentForm->listView->selectionModel())
            disconnect(selection, nullptr, this, nullptr);
        setInstrumentsModel(m_emptyModel);
        QObjectList widgets;
        for (QWidget *widget : findChildren<QWidget *>())
            widgets.append(widget);
        old->unbind(widgets);
        disconnect(old, nullptr, this, nullptr);
        disconnect(old->instrumentsModel(), nullptr, this, nullptr);
        disconnect(m_docForm->presetsComboBox, nullptr, old, nullptr);
        disconnect(m_instrumentForm->listAddButton, nullptr, old, nullptr);
        for (ColorChooserButton *button : findChildren<ColorChooserButton *>())
            disconnect(button, nullptr, old, nullptr);
    } else {
        // The old controller may have gone with its model.
        setInstrumentsModel(m_emptyModel);
    }

    QmdObserver<QmdVelkaController>::setController(newController);
    m_instrumentForm->listView->setController(newController);
    m_nodeForm->edgeUsageList->setController(newController);

    if (newController) {
        InstrumentsModel *instruments = newController->instrumentsModel();
        setInstrumentsModel(instruments);
        connect(newController, &QmdElementDocController::elementsAdded, this, &Inspector::onElementsAdded);
        connect(newController, &QmdElementDocController::elementsRemoved, this, &Inspector::onElementsRemoved);
        connect(newController, &QmdVelkaController::instrumentsAdded, this, &Inspector::onInstrumentsAddedOrRemoved);
        connect(newController, &QmdVelkaController::instrumentsRemoved, this,
                &Inspector::onInstrumentsAddedOrRemoved);
        if (QItemSelectionModel *selection = m_instrumentForm->listView->selectionModel()) {
            connect(selection, &QItemSelectionModel::selectionChanged, this,
                    &Inspector::onInstrumentSelectionChanged);
        }
        connect(newController, &QmdController::modelReset, this, &Inspector::reset);
        // A rebuilt or changed list leaves the combo boxes on whatever row
        // is there now: show the bound instruments again.
        connect(instruments, &QAbstractItemModel::modelReset, this, &Inspector::refreshInstrumentComboBoxes);
        connect(instruments, &QAbstractItemModel::rowsInserted, this, &Inspector::refreshInstrumentComboBoxes);
        connect(instruments, &QAbstractItemModel::rowsRemoved, this, &Inspector::refreshInstrumentComboBoxes);

        QComboBox *presets = m_docForm->presetsComboBox;
        connect(presets, qOverload<int>(&QComboBox::currentIndexChanged), newController,
                [newController, presets](int index) {
                    if (index >= 0)
                        newController->requestLoadStylePreset(presets->itemText(index));
                });
        connect(m_instrumentForm->listAddButton, &QPushButton::clicked, newController,
                [newController] { newController->requestAddInstrument(); });
        connectColorButtons(newController);
        bindDocumentPage();
    }

    m_stack->setEnabled(newController != nullptr);
    reset();
}

// The document follows a colour dialog live, but one dialog session on one
// button is one undo step.
void Inspector::connectColorButtons(QmdVelkaController *newController)
{
    for (ColorChooserButton *button : findChildren<ColorChooserButton *>()) {
        connect(button, &ColorChooserButton::colorDialogConnected, newController,
                [newController, button] { newController->beginBoundEdit(button); });
        connect(button, &ColorChooserButton::colorDialogReleased, newController,
                [newController, button] { newController->endBoundEdit(button); });
    }
}

void Inspector::setInstrumentsModel(QAbstractItemModel *model)
{
    InstrumentsView *list = m_instrumentForm->listView;
    if (list->model() != model) {
        // A view does not delete the selection model it replaces.
        QItemSelectionModel *oldSelection = list->selectionModel();
        list->setModel(model);
        if (oldSelection && oldSelection != list->selectionModel())
            delete oldSelection;
    }
    for (QComboBox *comboBox : {static_cast<QComboBox *>(m_nodeForm->instrumentComboBox),
                                static_cast<QComboBox *>(m_voiceGroupForm->instrumentComboBox)}) {
        if (comboBox->model() != model)
            comboBox->setModel(model);
    }
}

void Inspector::refreshInstrumentComboBoxes()
{
    if (QmdVelkaController *ctrl = controller()) {
        ctrl->updateBoundObject(m_nodeForm->instrumentComboBox);
        ctrl->updateBoundObject(m_voiceGroupForm->instrumentComboBox);
    }
}

// ---- Reset and blanking ----

void Inspector::reset()
{
    for (ElementPage &record : m_elementPages) {
        record.totalLabel->setText(QStringLiteral("0"));
        record.ids.clear();
        record.selectedIds.clear();
    }
    m_docForm->totalInstrumentsLabel->setText(QStringLiteral("0"));
    m_selectedElements.clear();

    if (QmdVelkaController *ctrl = controller()) {
        onElementsAdded(ctrl->elementIds());
        onElementSelectionChanged();
        onInstrumentsAddedOrRemoved();
        onInstrumentSelectionChanged();
    } else {
        blankDescendants();
    }
    documentRescanMidiInputs();
    documentRescanMidiOutputs();
}

// The page buttons are left alone: the shown page's button stays checked.
void Inspector::blankDescendants()
{
    const QList<QAbstractButton *> pageButtons = m_buttonGroup->buttons();
    for (QWidget *widget : findChildren<QWidget *>()) {
        if (pageButtons.contains(qobject_cast<QAbstractButton *>(widget)))
            continue;
        const char *property = nullptr;
        QVariant blank;
        if (auto *lineEdit = qobject_cast<QLineEdit *>(widget)) {
            if (qobject_cast<QAbstractSpinBox *>(lineEdit->parentWidget()))
                continue;
            property = "text";
            blank = QString();
        } else if (qobject_cast<QPlainTextEdit *>(widget)) {
            property = "plainText";
            blank = QString();
        } else if (auto *spinBox = qobject_cast<QSpinBox *>(widget)) {
            property = "value";
            blank = spinBox->minimum();
        } else if (auto *doubleSpinBox = qobject_cast<QDoubleSpinBox *>(widget)) {
            property = "value";
            blank = doubleSpinBox->minimum();
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget); button && button->isCheckable()) {
            property = "checked";
            blank = false;
        } else if (qobject_cast<QComboBox *>(widget)) {
            property = "currentIndex";
            blank = 0;
        } else if (qobject_cast<ColorChooserButton *>(widget)) {
            property = "color";
            blank = QColor();
        }
        if (property && widget->property(property) != blank) {
            widget->setProperty(property, blank);
            widget->update();
        }
        widget->style()->polish(widget);
    }
    update();
}

// ---- Page transition ----

void Inspector::setFixedHeightSlot(int h)
{
    setFixedHeight(h);
}

void Inspector::transformToPage(int index, bool force, bool hideDuringTransform)
{
    if (!force && index == m_stack->currentIndex())
        return;
    QWidget *page = m_stack->widget(index);
    if (!page)
        return;
    m_pendingPage = page;
    const int target = pageHeight(page);
    // A dock not yet on the screen (the window is being built) has nothing
    // to animate.
    if (m_dock && m_dock->isFloating() && m_dock->isVisible()) {
        if (m_timeLine->state() == QTimeLine::Running)
            m_timeLine->stop();
        m_timeLine->setFrameRange(height(), target);
        if (hideDuringTransform)
            m_stack->hide();
        m_timeLine->start();
    } else {
        setFixedHeight(target);
        transformFinished();
    }
}

void Inspector::transformToPage(int index, bool force)
{
    transformToPage(index, force, true);
}

void Inspector::transformToPage(int index)
{
    transformToPage(index, false, true);
}

void Inspector::transformFinished()
{
    if (!m_pendingPage)
        return;
    if (m_dock)
        m_dock->setWindowTitle(m_pendingPage->windowTitle());
    QWidget *page = m_pendingPage;
    m_pendingPage = nullptr;
    m_stack->setCurrentWidget(page);
    m_stack->show();
    // Shown, the page's layout is settled: its size may differ slightly from
    // what it asked for while hidden.
    setFixedHeight(pageHeight(page));
}

int Inspector::pageHeight(QWidget *page) const
{
    return page->sizeHint().height() + m_buttonsLayout->sizeHint().height();
}

// A page whose contents grow or shrink while it is shown (tiles, a rebind)
// keeps the panel fitted to it.
bool Inspector::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::LayoutRequest && !m_pendingPage && watched == m_stack->currentWidget()) {
        const int target = pageHeight(m_stack->currentWidget());
        if (target != height())
            setFixedHeight(target);
    }
    return QWidget::eventFilter(watched, event);
}

void Inspector::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    emit visibilityToggled();
}

void Inspector::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    emit visibilityToggled();
}

// ---- Element totals and selection ----

void Inspector::onElementsAdded(const QmdItemIdList &idList)
{
    if (QmdVelkaController *ctrl = controller()) {
        for (QmdItemId id : idList) {
            const auto record = m_elementPages.find(ctrl->elementType(id));
            if (record != m_elementPages.end())
                record->ids.insert(id);
        }
    }
    updateTotalLabels();
}

void Inspector::onElementsRemoved(const QmdItemIdList &idList)
{
    const QmdItemIdSet removed(idList.cbegin(), idList.cend());
    for (ElementPage &record : m_elementPages)
        record.ids.subtract(removed);
    updateTotalLabels();
}

void Inspector::updateTotalLabels()
{
    for (const ElementPage &record : std::as_const(m_elementPages))
        record.totalLabel->setText(QString::number(record.ids.size()));
}

void Inspector::onInstrumentsAddedOrRemoved()
{
    if (QmdVelkaController *ctrl = controller())
        m_docForm->totalInstrumentsLabel->setText(QString::number(ctrl->instrumentIds().size()));
}

void Inspector::onElementSelectionChanged()
{
    QmdVelkaController *ctrl = controller();
    if (!ctrl)
        return;
    const QmdItemIdSet selection = m_scene ? m_scene->selectedElementIds() : QmdItemIdSet();
    const QmdItemIdSet added = QmdItemIdSet(selection).subtract(m_selectedElements);
    const QmdItemIdSet removed = QmdItemIdSet(m_selectedElements).subtract(selection);
    m_selectedElements = selection;

    // Ascending ids: the page of the newest element wins, in every run.
    QWidget *candidate = nullptr;
    for (QmdItemId id : sortedIds(added)) {
        const auto record = m_elementPages.find(ctrl->elementType(id));
        if (record == m_elementPages.end())
            continue;
        record->selectedIds.insert(id);
        if (record->page)
            candidate = record->page;
    }

    for (auto record = m_elementPages.begin(); record != m_elementPages.end(); ++record) {
        record->selectedIds.subtract(removed);
        if (!record->page)
            continue;
        unbindDescendants(record->page);
        const bool selected = !record->selectedIds.isEmpty();
        if (selected)
            bindElementPage(record.key(), record->selectedIds);
        record->page->setEnabled(selected);
        if (selected && !candidate)
            candidate = record->page;
    }
    updateNodeInstrumentEnabled();

    const QmdItemIdSet &nodes = m_elementPages[QmdVelka::Node].selectedIds;
    m_nodeForm->edgeUsageList->setNode(nodes.size() == 1 ? *nodes.cbegin() : 0);

    if (candidate) {
        const int index = m_stack->indexOf(candidate);
        QAbstractButton *button = m_buttonGroup->button(index);
        if (button && !button->isChecked()) {
            button->setChecked(true);
            transformToPage(index, true, true);
        }
    }
}

// Unbinding writes the fallback with the signals blocked, so the form's own
// coupling of the two does not run.
void Inspector::updateNodeInstrumentEnabled()
{
    m_nodeForm->instrumentComboBox->setEnabled(m_nodeForm->instrumentChangeCheckBox->isChecked());
}

void Inspector::unbindDescendants(QWidget *widget)
{
    QmdVelkaController *ctrl = controller();
    if (!ctrl)
        return;
    QObjectList widgets;
    for (QWidget *child : widget->findChildren<QWidget *>())
        widgets.append(child);
    ctrl->unbind(widgets);
}

// ---- Bindings ----

void Inspector::bindRows(const QVector<BindingRow> &rows, const QmdIndexList &parents)
{
    QmdVelkaController *ctrl = controller();
    if (!ctrl)
        return;
    for (const BindingRow &row : rows) {
        ctrl->bind(row.object, row.property, row.notifySignal, watchMap(parents, row.key), row.fallbackValue,
                   row.mixedValue, row.label);
    }
}

void Inspector::bindDocumentPage()
{
    const Ui_InspectDocForm &form = *m_docForm;
    const char *const valueChanged = SIGNAL(valueChanged(int));
    const char *const colorChanged = SIGNAL(colorChanged(QColor));
    const char *const editingFinished = SIGNAL(editingFinished());
    const QVariant noColor = QColor();
    const QVector<BindingRow> rows{
        {form.tempoSpinBox, "value", valueChanged, QStringLiteral("Tempo"), 0, {}, tr("Tempo")},
        {form.principalsSpinBox, "value", valueChanged, QStringLiteral("PrincipalsToBeatsNumerator"), 0, {},
         tr("Principals")},
        {form.beatsSpinBox, "value", valueChanged, QStringLiteral("PrincipalsToBeatsDenominator"), 0, {},
         tr("Beats")},
        {form.divsSpinBox, "value", valueChanged, QStringLiteral("DivsPerPrincipal"), 0, {}, tr("Divisions")},
        {form.backgroundColorButton, "color", colorChanged, QStringLiteral("StyleBackgroundColor"), noColor, {},
         tr("Background Color")},
        {form.principalLinesColorButton, "color", colorChanged, QStringLiteral("StylePrincipalLinesColor"),
         noColor, {}, tr("Principal Lines Color")},
        {form.principalPointsColorButton, "color", colorChanged, QStringLiteral("StylePrincipalPointsColor"),
         noColor, {}, tr("Principal Points Color")},
        {form.divisionLinesColorButton, "color", colorChanged, QStringLiteral("StyleDivisionLinesColor"), noColor,
         {}, tr("Division Lines Color")},
        {form.divisionPointsColorButton, "color", colorChanged, QStringLiteral("StyleDivisionPointsColor"),
         noColor, {}, tr("Division Points Color")},
        {form.annotationColorButton, "color", colorChanged, QStringLiteral("StyleAnnotationColor"), noColor, {},
         tr("Annotation Color")},
        {form.nodesColorButton, "color", colorChanged, QStringLiteral("StyleNodesColor"), noColor, {},
         tr("Nodes Color")},
        {form.edgesColorButton, "color", colorChanged, QStringLiteral("StyleEdgesColor"), noColor, {},
         tr("Edges Color")},
        {form.authorEdit, "text", editingFinished, QStringLiteral("Author"), QString(), {}, tr("Author")},
        {form.titleEdit, "text", editingFinished, QStringLiteral("Title"), QString(), {}, tr("Title")},
        {form.commentsEdit, "plainText", editingFinished, QStringLiteral("Comment"), QString(), {},
         tr("Comments")},
    };
    bindRows(rows, QmdIndexList{QmdIndex()});
}

void Inspector::bindElementPage(int type, const QmdItemIdSet &ids)
{
    QmdVelkaController *ctrl = controller();
    if (!ctrl)
        return;
    QmdIndexList parents;
    parents.reserve(ids.size());
    // An id whose element is gone answers an invalid index, which would
    // stand for the root: such ids are left out until the selection drops them.
    for (QmdItemId id : ids) {
        const QmdIndex index = ctrl->elementIndex(id);
        if (index.isValid())
            parents.append(index);
    }
    if (!parents.isEmpty())
        bindRows(elementBindingRows(type), parents);
}

QVector<Inspector::BindingRow> Inspector::elementBindingRows(int type) const
{
    const char *const editingFinished = SIGNAL(editingFinished());
    const char *const toggled = SIGNAL(toggled(bool));
    const char *const activated = SIGNAL(activated(int));
    const QVariant noInstrument = QVariant::fromValue(0u);
    switch (type) {
    case QmdVelka::Edge: {
        const Ui_InspectEdgeForm &form = *m_edgeForm;
        return {
            {form.pathChooser, "choice", SIGNAL(chosen(int)), QStringLiteral("Path"), -1, -1, tr("Path")},
            {form.wormholeCheckBox, "checked", toggled, QStringLiteral("IsWormhole"), false, false, tr("Wormhole")},
            {form.scaleListEdit, "text", editingFinished, QStringLiteral("ScaleList"), QString(), QString(),
             tr("Scale")},
        };
    }
    case QmdVelka::Node: {
        const Ui_InspectNodeForm &form = *m_nodeForm;
        return {
            {form.sigMethodComboBox, "currentIndex", activated, QStringLiteral("SignallingMethod"), -1, -1,
             tr("Signalling")},
            {form.pitchListEdit, "text", editingFinished, QStringLiteral("PitchList"), QString(), QString(),
             tr("Pitch List")},
            {form.velocityListEdit, "text", editingFinished, QStringLiteral("VelocityList"), QString(), QString(),
             tr("Velocity List")},
            {form.durationListEdit, "text", editingFinished, QStringLiteral("DurationList"), QString(), QString(),
             tr("Duration List")},
            {form.muteCheckBox, "checked", toggled, QStringLiteral("DontPlayNote"), false, false, tr("Mute")},
            {form.instrumentChangeCheckBox, "checked", toggled, QStringLiteral("DoInstrumentChange"), false, false,
             tr("Instrument Change")},
            {form.instrumentComboBox, "currentKey", activated, QStringLiteral("Instrument"), noInstrument,
             noInstrument, tr("Instrument")},
            {form.userMidiMessageListEdit, "text", editingFinished, QStringLiteral("UserMidiMessageList"),
             QString(), QString(), tr("Advanced MIDI")},
        };
    }
    case QmdVelka::VoiceGroup: {
        const Ui_InspectVoiceGroupForm &form = *m_voiceGroupForm;
        return {
            {form.pitchEdit, "text", editingFinished, QStringLiteral("InitialPitch"), QString(), QString(),
             tr("Initial Pitch")},
            {form.velocityEdit, "text", editingFinished, QStringLiteral("InitialVelocity"), QString(), QString(),
             tr("Initial Velocity")},
            {form.durationEdit, "text", editingFinished, QStringLiteral("InitialDuration"), QString(), QString(),
             tr("Initial Duration")},
            {form.instrumentComboBox, "currentKey", activated, QStringLiteral("InitialInstrument"), noInstrument,
             noInstrument, tr("Instrument")},
        };
    }
    default:
        return {};
    }
}

// ---- Instrument page ----

QmdItemIdSet Inspector::selectedInstruments() const
{
    QmdItemIdSet ids;
    const QItemSelectionModel *selection = m_instrumentForm->listView->selectionModel();
    if (!selection)
        return ids;
    for (const QModelIndex &row : selection->selectedIndexes()) {
        if (row.isValid())
            ids.insert(row.data(Qt::UserRole).toUInt());
    }
    ids.remove(0);
    return ids;
}

void Inspector::onInstrumentSelectionChanged()
{
    QmdVelkaController *ctrl = controller();
    if (!ctrl)
        return;
    const QmdItemIdSet ids = selectedInstruments();
    unbindDescendants(m_instrumentPage);
    m_instrumentForm->editFrame->setEnabled(!ids.isEmpty());
    if (ids.isEmpty())
        return;
    QmdIndexList parents;
    parents.reserve(ids.size());
    for (QmdItemId id : ids) {
        const QmdIndex index = ctrl->instrumentIndex(id);
        if (index.isValid())
            parents.append(index);
    }
    if (!parents.isEmpty())
        bindRows(instrumentBindingRows(), parents);
}

QVector<Inspector::BindingRow> Inspector::instrumentBindingRows() const
{
    const Ui_InspectInstrumentForm &form = *m_instrumentForm;
    const char *const valueChanged = SIGNAL(valueChanged(int));
    return {
        {form.labelEdit, "text", SIGNAL(editingFinished()), QStringLiteral("Label"), QString(), QString(),
         tr("Label")},
        {form.colorButton, "color", SIGNAL(colorChanged(QColor)), QStringLiteral("Color"), QColor(), QColor(),
         tr("Color")},
        {form.midiPortsComboBox, "currentKey", SIGNAL(activated(int)), QStringLiteral("MidiPort"), QString(),
         QString(), tr("MIDI Port")},
        {form.midiChannelsBox, "channels", SIGNAL(channelsChanged(QBitArray)), QStringLiteral("MidiChannels"),
         QBitArray(), QBitArray(), tr("MIDI Channels")},
        {form.midiProgramChangeCheckBox, "checked", SIGNAL(toggled(bool)), QStringLiteral("MidiDoProgramChange"),
         false, false, tr("MIDI Program Change")},
        {form.midiProgramChangeGroupBox, "enabled", nullptr, QStringLiteral("MidiDoProgramChange"), false, false,
         QString()},
        {form.midiProgramSpinBox, "value", valueChanged, QStringLiteral("MidiProgram"), 0, 0, tr("MIDI Program")},
        {form.midiBankMSBSpinBox, "value", valueChanged, QStringLiteral("MidiBankMSB"), 0, 0, tr("MIDI Bank MSB")},
        {form.midiBankLSBSpinBox, "value", valueChanged, QStringLiteral("MidiBankLSB"), 0, 0, tr("MIDI Bank LSB")},
    };
}

// ---- MIDI ports ----

void Inspector::setMidiInputPortNames(const QStringList &names)
{
    m_midiInputPortNames = sortedPortNames(names);
    documentRescanMidiInputs();
}

void Inspector::setMidiOutputPortNames(const QStringList &names)
{
    m_midiOutputPortNames = sortedPortNames(names);
    documentRescanMidiOutputs();
    instrumentRescanMidiOutputs();
}

void Inspector::documentRescanMidiInputs()
{
    m_syncInputs->rescan(controller(), m_midiInputPortNames);
}

void Inspector::documentRescanMidiOutputs()
{
    m_syncOutputs->rescan(controller(), m_midiOutputPortNames);
}

// The shown port is the one the document names, or none while that port is
// absent; it comes back with the port.
void Inspector::instrumentRescanMidiOutputs()
{
    QwpComboBox *ports = m_instrumentForm->midiPortsComboBox;
    const QString remembered = ports->currentText();
    ports->clear();
    ports->addKeyItems(m_midiOutputPortNames);
    ports->setCurrentKey(remembered);
    if (QmdVelkaController *ctrl = controller())
        ctrl->updateBoundObject(ports);
}
