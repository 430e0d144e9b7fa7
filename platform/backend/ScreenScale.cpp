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

WindowPlacement PlaceWindow(const RECT& area, const RECT& frame)
{
    const int frameW = std::max(0, static_cast<int>(frame.left)) + std::max(0, static_cast<int>(frame.right));
    const int frameH = std::max(0, static_cast<int>(frame.top)) + std::max(0, static_cast<int>(frame.bottom));
    const int areaW = static_cast<int>(area.right - area.left), areaH = static_cast<int>(area.bottom - area.top);
    WindowPlacement p;
    p.scale = WholeScale(areaW - frameW, areaH - frameH);
    p.width = kScreenWidth * p.scale;
    p.height = kScreenHeight * p.scale;
    p.x = static_cast<int>(area.left) + std::max(0, (areaW - p.width - frameW) / 2) + std::max(0, static_cast<int>(frame.left));
    p.y = static_cast<int>(area.top) + std::max(0, (areaH - p.height - frameH) / 2) + std::max(0, static_cast<int>(frame.top));
    return p;
}

POINT OutputToScreen(const ScreenPlacement& placement, int x, int y)
{
    int scale = placement.scale < 1 ? 1 : placement.scale;
    return POINT{std::clamp((x - placement.x) / scale, 0, kScreenWidth - 1),
                 std::clamp((y - placement.y) / scale, 0, kScreenHeight - 1)};
}

}  // namespace qplat::backend
