#include "stylepresets.h"
#include "qmdvelkakeys.h"

#include <QColor>

namespace {

typedef QHash<QString, StylePresets::Preset> PresetTable;

PresetTable buildStylePresets()
{
    PresetTable table;
    table.insert(QStringLiteral("Dark"),
                 {{QmdVelkaKeys::StyleBackgroundColor, QColor(39, 39, 47, 255)},
                  {QmdVelkaKeys::StylePrincipalLinesColor, QColor(46, 46, 54, 255)},
                  {QmdVelkaKeys::StylePrincipalPointsColor, QColor(200, 200, 200, 255)},
                  {QmdVelkaKeys::StyleDivisionLinesColor, QColor(Qt::transparent)},
                  {QmdVelkaKeys::StyleDivisionPointsColor, QColor(128, 128, 128, 255)},
                  {QmdVelkaKeys::StyleAnnotationColor, QColor(255, 255, 255, 128)},
                  {QmdVelkaKeys::StyleNodesColor, QColor(155, 158, 255, 255)},
                  {QmdVelkaKeys::StyleEdgesColor, QColor(113, 117, 137, 255)}});
    table.insert(QStringLiteral("Light"),
                 {{QmdVelkaKeys::StyleBackgroundColor, QColor(255, 255, 255, 255)},
                  {QmdVelkaKeys::StylePrincipalLinesColor, QColor(180, 180, 180, 255)},
                  {QmdVelkaKeys::StylePrincipalPointsColor, QColor(Qt::transparent)},
                  {QmdVelkaKeys::StyleDivisionLinesColor, QColor(220, 230, 240, 255)},
                  {QmdVelkaKeys::StyleDivisionPointsColor, QColor(Qt::transparent)},
                  {QmdVelkaKeys::StyleAnnotationColor, QColor(Qt::black)},
                  {QmdVelkaKeys::StyleNodesColor, QColor(44, 101, 169, 255)},
                  {QmdVelkaKeys::StyleEdgesColor, QColor(40, 40, 40, 255)}});
    return table;
}

// Built once, on first use (thread-safe static initialisation), never changed after.
const PresetTable &presetTable()
{
    static const PresetTable table = buildStylePresets();
    return table;
}

} // namespace

namespace StylePresets {

QStringList names()
{
    QStringList result = presetTable().keys();
    result.sort();
    return result;
}

Preset preset(const QString &name)
{
    return presetTable().value(name);
}

QString defaultName()
{
    return QStringLiteral("Dark");
}

} // namespace StylePresets
