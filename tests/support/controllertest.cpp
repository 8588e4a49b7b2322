#include "controllertest.h"

#include "qmdcontroller.h"

#include <QCoreApplication>

namespace ControllerTest {

QmdItemId newId(const QmdItemIdList &before, const QmdItemIdList &after)
{
    for (QmdItemId id : after) {
        if (!before.contains(id))
            return id;
    }
    return 0;
}

void settle()
{
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

QString dump(const QmdController &controller, const QmdIndex &parent, int depth)
{
    QString text;
    const QString indent(depth * 2, QLatin1Char(' '));
    const auto entry = [&](const QString &name, const QmdIndex &child) {
        text += indent + name;
        if (controller.type(child) != Qmd::NoContainer)
            text += QStringLiteral(" {\n") + dump(controller, child, depth + 1) + indent + QStringLiteral("}\n");
        else
            text += QStringLiteral(" = ") + controller.data(child).toString() + QLatin1Char('\n');
    };
    if (controller.type(parent) == Qmd::IntDict) {
        for (QmdItemId id : controller.ids(parent))
            entry(QString::number(id), controller.index(id, parent));
    } else {
        for (const QString &key : controller.keys(parent))
            entry(key, controller.index(key, parent));
    }
    return text;
}

} // namespace ControllerTest
