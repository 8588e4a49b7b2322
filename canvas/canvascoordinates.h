#ifndef CANVASCOORDINATES_H
#define CANVASCOORDINATES_H

#include "tickpos.h"

#include <QPointF>
#include <QtGlobal>

class NetworkScene;

// Conversions between scene coordinates and document positions in ticks, and
// snapping to the grid of a scene. The display scale (displayscale.h) must be
// set before any conversion: until then every position would land on (0, 0).

// Nearest tick position of a scene point; a coordinate that is not finite
// gives 0, one beyond the 64-bit range the nearest end of it.
QmdVelka::TickPos sceneToTickPos(const QPointF &point);
// Scene point of a tick position.
QPointF tickPosToScene(const QmdVelka::TickPos &pos);

// The multiple of spacing nearest to value, halves away from zero; saturates
// at the ends of the 64-bit range. A spacing below 1 leaves value unchanged.
qint64 snapTick(qint64 value, qint64 spacing);

// Snaps both coordinates to the scene's snap spacing while its snapping is
// on; without a scene, or with snapping off, the argument is left unchanged.
void snapTickPos(QmdVelka::TickPos &pos, const NetworkScene *scene);
void snapScenePoint(QPointF &point, const NetworkScene *scene);

#endif // CANVASCOORDINATES_H
