#include "screens/DiscChart.h"

#include <cmath>

namespace {

constexpr double kXMin = -5000, kXMax = 155000;
constexpr double kYMargin = 1000;

}  // namespace

void SetDiscChartRanges(COwnerChart& chart, LONG referenceBase, LONG measuredBase, double divisor)
{
    const double reference = std::fabs(static_cast<double>(referenceBase));
    const double measured = std::fabs(static_cast<double>(measuredBase));
    const double b = reference > measured ? reference : measured;
    chart.SetXRange(kXMin / divisor, kXMax / divisor, FALSE);
    chart.SetYRange((-kYMargin - b) / divisor, (b + kYMargin) / divisor, FALSE);
}
