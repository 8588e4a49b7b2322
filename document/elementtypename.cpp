#include "elementtypename.h"

#include "qmdvelka.h"

#include <QObject>

QString elementTypeName(int type)
{
    switch (type) {
    case QmdVelka::InvalidElement:
        return QObject::tr("Invalid");
    case QmdVelka::Edge:
        return QObject::tr("Edge");
    case QmdVelka::Node:
        return QObject::tr("Node");
    case QmdVelka::TextBox:
        return QObject::tr("Text Box");
    case QmdVelka::VoiceGroup:
        return QObject::tr("Voice Group");
    default:
        return QString();
    }
}
