#include "screens/DiscChart.h"

#include <cmath>

namespace {

constexpr double kXMin = -5000, kXMax = 155000;
constexpr double kYMargin = 1000;

void SetRanges(COwnerChart& chart, double reach, double divisor)
{
    chart.SetXRange(kXMin / divisor, kXMax / divisor, FALSE);
    chart.SetYRange((-kYMargin - reach) / divisor, (reach + kYMargin) / divisor, FALSE);
}

DWORD PointsOf(DiscSide side)
{
    if (side.points == nullptr) return 0;
    return side.count > kMaxProfilePoints ? kMaxProfilePoints : side.count;
}

// The farthest a side's points lie from the axis against `base`.
double Reach(LONG base, DiscSide side)
{
    double reach = 0;
    const DWORD n = PointsOf(side);
    for (DWORD i = 0; i < n; ++i) {
        const double d = std::fabs(static_cast<double>(base) - side.points[i].z);
        if (d > reach) reach = d;
    }
    return reach;
}

}  // namespace

void SetDiscChartRanges(COwnerChart& chart, LONG referenceBase, LONG measuredBase, double divisor)
{
    const double reference = std::fabs(static_cast<double>(referenceBase));
    const double measured = std::fabs(static_cast<double>(measuredBase));
    SetRanges(chart, reference > measured ? reference : measured, divisor);
}

LONG MeasuredDiscBase(DiscSide side1, DiscSide side2)
{
    if (const DWORD n = PointsOf(side1)) return side1.points[n - 1].z;
    if (const DWORD n = PointsOf(side2)) return side2.points[n - 1].z;
    return 0;
}

void SetMeasuredDiscChartRanges(COwnerChart& chart, LONG base, DiscSide side1, DiscSide side2, double divisor)
{
    const double reach1 = Reach(base, side1), reach2 = Reach(base, side2);
    SetRanges(chart, reach1 > reach2 ? reach1 : reach2, divisor);
}
