#include "editactionsrecorder.h"

#include "networkscene.h"
#include "qmdvelkacontroller.h"

EditActionsRecorder::EditActionsRecorder(QmdVelkaController *controller, NetworkScene *scene)
    : m_controller(controller)
    , m_scene(scene)
{
}

void EditActionsRecorder::del()
{
    calls.append(QStringLiteral("del"));
    if (!m_controller || !m_scene || m_scene->selectedElementIds().isEmpty())
        return;
    const QmdItemIdSet &selected = m_scene->selectedElementIds();
    m_controller->requestRemove(QmdItemIdList(selected.cbegin(), selected.cend()),
                                m_controller->findElementsIndex(), QmdRequestOptions(QStringLiteral("Delete")));
}
