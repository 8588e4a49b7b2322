#include "qmdvelkakeys.h"
#include "syncportslist.h"

#include "midiportsboxgraphicsview.h"
#include "portnames.h"
#include "qmdvelkacontroller.h"
#include "squeezedtextcheckbox.h"

#include <QGraphicsLinearLayout>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsWidget>
#include <QSet>

#include <algorithm>

namespace {

const QColor BoxColor(223, 228, 234);
constexpr int EntryHeight = 18;

} // namespace

SyncPortsList::SyncPortsList(MidiPortsBoxGraphicsView *box, ContainerIndex container, const QString &removalText,
                             const QString &creationText, const QString &offlineText, const QString &syncText)
    : m_box(box)
    , m_container(container)
    , m_removalText(removalText)
    , m_creationText(creationText)
    , m_offlineText(offlineText)
    , m_syncText(syncText)
{
}

void SyncPortsList::rescan(QmdVelkaController *controller, const QStringList &presentNames)
{
    clear();
    if (!controller) {
        m_box->adjustBox();
        return;
    }
    // Without its container the document has nowhere to keep entries: the
    // ports are listed, unbound.
    const QmdIndex container = (controller->*m_container)();
    const bool hasContainer = container.isValid();
    QStringList names = presentNames;
    if (hasContainer)
        names += dropOfflineEntries(controller, container, presentNames);
    std::sort(names.begin(), names.end(), portNameLessThan);
    names.erase(std::unique(names.begin(), names.end()), names.end());

    const QSet<QString> present(presentNames.cbegin(), presentNames.cend());
    for (const QString &name : std::as_const(names)) {
        SqueezedTextCheckBox *checkBox
            = addCheckBox(QStringLiteral("%1 %2").arg(name, present.contains(name) ? QString() : m_offlineText));
        if (!hasContainer)
            continue;
        controller->requestSetTypeIfInvalid(name, Qmd::StrDict, container,
                                            QmdRequestOptions(Qmd::NoUndoHistory, m_creationText));
        const QmdIndex entry = controller->index(name, container);
        if (entry.isValid()) {
            controller->bindKey(checkBox, "checked", SIGNAL(toggled(bool)), QmdVelkaKeys::MidiSync, entry, false, false,
                                m_syncText);
        }
    }
    m_box->adjustBox();
}

QList<SqueezedTextCheckBox *> SyncPortsList::checkBoxes() const
{
    QList<SqueezedTextCheckBox *> boxes;
    QGraphicsLinearLayout *layout = m_box->boxLayout();
    for (int i = 0; i < layout->count(); ++i) {
        if (auto *proxy = dynamic_cast<QGraphicsProxyWidget *>(layout->itemAt(i))) {
            if (auto *checkBox = qobject_cast<SqueezedTextCheckBox *>(proxy->widget()))
                boxes.append(checkBox);
        }
    }
    return boxes;
}

// The proxy takes its check box (and the check box its bindings) with it.
void SyncPortsList::clear()
{
    QGraphicsLinearLayout *layout = m_box->boxLayout();
    while (layout->count() > 0) {
        QGraphicsLayoutItem *item = layout->itemAt(0);
        layout->removeAt(0);
        if (item->graphicsItem())
            delete item->graphicsItem();
        else
            delete item;
    }
}

// Removes the entries of absent ports that carry no clock; returns the
// names of the absent ports whose entries stay.
QStringList SyncPortsList::dropOfflineEntries(QmdVelkaController *controller, const QmdIndex &container,
                                              const QStringList &presentNames) const
{
    const QSet<QString> present(presentNames.cbegin(), presentNames.cend());
    QStringList keptOffline;
    for (const QmdIndex &entry : controller->childIndexes(container)) {
        const QString name = entry.key();
        if (present.contains(name))
            continue;
        if (controller->data(QmdVelkaKeys::MidiSync, entry).toBool())
            keptOffline.append(name);
        else
            controller->requestRemove(entry, QmdRequestOptions(Qmd::NoUndoHistory, m_removalText));
    }
    return keptOffline;
}

SqueezedTextCheckBox *SyncPortsList::addCheckBox(const QString &text)
{
    auto *checkBox = new SqueezedTextCheckBox;
    checkBox->setFont(m_box->font());
    QPalette palette = m_box->palette();
    palette.setBrush(QPalette::Window, BoxColor);
    checkBox->setPalette(palette);
    checkBox->setText(text);
    QGraphicsProxyWidget *proxy = m_box->scene()->addWidget(checkBox);
    proxy->setMinimumHeight(EntryHeight);
    proxy->setMaximumHeight(EntryHeight);
    m_box->boxLayout()->addItem(proxy);
    return checkBox;
}
