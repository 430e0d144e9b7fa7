// The y range of a disc chart, shared by the measuring screen and the
// journal's record view, so that both draw a disc the same way up.
#pragma once

#include "platform/WinDef.h"
#include "ui/OwnerChart.h"

// Sets the disc chart's ranges: x over the face from just inside the axis to
// past the rim, y the larger of the two bases either side of the axis with a
// margin. A base is the height of the reference's last point and may lie
// below zero (a reference measured from the other side); its magnitude is
// taken, so the range never turns over and both worn faces stay on the chart.
// Lengths are micrometres, divided by `divisor` into display units.
void SetDiscChartRanges(COwnerChart& chart, LONG referenceBase, LONG measuredBase, double divisor);
