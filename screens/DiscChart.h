// The y range of a disc chart, shared by the measuring screen and the
// journal's record view, so that both draw a disc the same way up.
#pragma once

#include "platform/WinDef.h"
#include "settings/ProfilePoint.h"
#include "ui/OwnerChart.h"

// Sets the disc chart's ranges: x over the face from just inside the axis to
// past the rim, y the larger of the two bases either side of the axis with a
// margin. A base is the height of the reference's last point and may lie
// below zero (a reference measured from the other side); its magnitude is
// taken, so the range never turns over and both worn faces stay on the chart.
// Lengths are micrometres, divided by `divisor` into display units.
void SetDiscChartRanges(COwnerChart& chart, LONG referenceBase, LONG measuredBase, double divisor);

// One measured side of a disc: its points and their count.
struct DiscSide {
    DWORD count;
    const ProfilePoint* points;
};

// Without a reference the measured sides are drawn against a base of their
// own, taken the way a reference's is: the height of the last point of the
// first side that has points (side 1, else side 2), so that the rim lies on
// the axis and the faces either side of it. 0 when neither side has points.
LONG MeasuredDiscBase(DiscSide side1, DiscSide side2);

// The ranges of a disc chart drawn without a reference: the bases of a
// reference say nothing of how deep the measured faces lie, so y takes in the
// point of either side farthest from the axis when drawn against `base`, with
// the same margin; x as with a reference.
void SetMeasuredDiscChartRanges(COwnerChart& chart, LONG base, DiscSide side1, DiscSide side2, double divisor);
