#include "stylepresets.h"

#include <QColor>

namespace {

typedef QHash<QString, StylePresets::Preset> PresetTable;

PresetTable buildStylePresets()
{
    PresetTable table;
    table.insert(QStringLiteral("Dark"),
                 {{QStringLiteral("StyleBackgroundColor"), QColor(39, 39, 47, 255)},
                  {QStringLiteral("StylePrincipalLinesColor"), QColor(46, 46, 54, 255)},
                  {QStringLiteral("StylePrincipalPointsColor"), QColor(200, 200, 200, 255)},
                  {QStringLiteral("StyleDivisionLinesColor"), QColor(Qt::transparent)},
                  {QStringLiteral("StyleDivisionPointsColor"), QColor(128, 128, 128, 255)},
                  {QStringLiteral("StyleAnnotationColor"), QColor(255, 255, 255, 128)},
                  {QStringLiteral("StyleNodesColor"), QColor(155, 158, 255, 255)},
                  {QStringLiteral("StyleEdgesColor"), QColor(113, 117, 137, 255)}});
    table.insert(QStringLiteral("Light"),
                 {{QStringLiteral("StyleBackgroundColor"), QColor(255, 255, 255, 255)},
                  {QStringLiteral("StylePrincipalLinesColor"), QColor(180, 180, 180, 255)},
                  {QStringLiteral("StylePrincipalPointsColor"), QColor(Qt::transparent)},
                  {QStringLiteral("StyleDivisionLinesColor"), QColor(220, 230, 240, 255)},
                  {QStringLiteral("StyleDivisionPointsColor"), QColor(Qt::transparent)},
                  {QStringLiteral("StyleAnnotationColor"), QColor(Qt::black)},
                  {QStringLiteral("StyleNodesColor"), QColor(44, 101, 169, 255)},
                  {QStringLiteral("StyleEdgesColor"), QColor(40, 40, 40, 255)}});
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
