// Helpers of the chart tests: a chart on a test screen and probes of its back
// buffer.
#pragma once

#include <cstdint>

#include "platform/gdi/Surface.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/OwnerChart.h"

namespace qtest {

class ChartTest : public UiTest {
protected:
    // A chart whose client area is exactly clientW x clientH, at (x, y) of a
    // fresh screen.
    HWND MakeChart(COwnerChart& chart, int x = 120, int y = 87, int clientW = 355, int clientH = 180)
    {
        HWND screen = Keep(MakeScreen());
        if (!chart.Create(screen, 639, x, y, clientW, clientH)) return nullptr;
        HWND h = GetDlgItem(screen, 639);
        RECT window{}, client{};
        GetWindowRect(h, &window);
        GetClientRect(h, &client);
        int w = clientW + (window.right - window.left) - client.right;
        int hh = clientH + (window.bottom - window.top) - client.bottom;
        MoveWindow(h, x, y, w, hh, TRUE);
        qplat::ProcessPendingMessages();
        return h;
    }

    static COLORREF Buffer(const COwnerChart& chart, int x, int y)
    {
        auto s = qplat::SurfaceOfBitmap(chart.m_hBitmap);
        if (!s || !s->Contains(x, y)) return CLR_INVALID;
        return qplat::PixelToColor(s->At(x, y));
    }

    // Whether `color` is within `radius` pixels of (x, y) in the back buffer.
    static bool BufferNear(const COwnerChart& chart, int x, int y, COLORREF color, int radius = 1)
    {
        for (int dy = -radius; dy <= radius; ++dy)
            for (int dx = -radius; dx <= radius; ++dx)
                if (Buffer(chart, x + dx, y + dy) == color) return true;
        return false;
    }

    // The composed screen at a point of the chart's client area.
    static COLORREF OnScreen(HWND chart, int x, int y)
    {
        POINT p{x, y};
        ClientToScreen(chart, &p);
        return Screen(p.x, p.y);
    }
};

}  // namespace qtest
