// What the measuring screen and the measuring-series screen share: the title
// of the device family and the link corner.
#pragma once

#include "platform/WinGdi.h"
#include "sensor/LinkMonitor.h"
#include "ui/PaintHelper.h"

// The device type of the disc family.
constexpr BYTE MEASURING_DISC_DEVICE = 4;

// The title text of the measuring screens of a device type.
inline int MeasuringTitleId(BYTE deviceType)
{
    return deviceType == MEASURING_DISC_DEVICE ? 40633 : 40603;
}

// The link picture in the status corner, with the signal bars while linked.
inline void DrawLinkCorner(CPaintHelper& paint, HWND window, HDC dc, HBITMAP picture, const CLinkMonitor& monitor,
                           bool linked)
{
    paint.DrawBitmapScaled(window, dc, picture, 60, 20, 2, 5, monitor.m_rssi.load(), linked ? TRUE : FALSE);
}
