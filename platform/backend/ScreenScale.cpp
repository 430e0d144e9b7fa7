// How the 480 x 272 screen stands on a larger output: whole scales only, so
// every pixel of the handheld's screen stays a square block of the same size.

#include <algorithm>

#include "platform/WinUser.h"
#include "platform/backend/BackendInternal.h"

namespace qplat::backend {

int WholeScale(int width, int height)
{
    int scale = std::min(width / kScreenWidth, height / kScreenHeight);
    return scale < 1 ? 1 : scale;
}

bool IsScreenShaped(int width, int height)
{
    if (width < kScreenWidth || width % kScreenWidth != 0) return false;
    return height == width / kScreenWidth * kScreenHeight;
}

ScreenPlacement PlaceScreen(int outputWidth, int outputHeight)
{
    ScreenPlacement p;
    p.scale = WholeScale(outputWidth, outputHeight);
    // An output smaller than the screen shows its top left part.
    p.x = std::max(0, (outputWidth - kScreenWidth * p.scale) / 2);
    p.y = std::max(0, (outputHeight - kScreenHeight * p.scale) / 2);
    return p;
}

POINT OutputToScreen(const ScreenPlacement& placement, int x, int y)
{
    int scale = placement.scale < 1 ? 1 : placement.scale;
    return POINT{std::clamp((x - placement.x) / scale, 0, kScreenWidth - 1),
                 std::clamp((y - placement.y) / scale, 0, kScreenHeight - 1)};
}

}  // namespace qplat::backend
