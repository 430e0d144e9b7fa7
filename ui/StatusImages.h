// The bitmaps of the status area: battery level, mains and charging marks,
// link state. Loaded once per holder, freed when its screen closes.
#pragma once

#include "platform/WinGdi.h"

constexpr int STATUS_BATTERY_IMAGES = 12;
constexpr int STATUS_BATTERY_UNKNOWN = 11;

class CStatusImages {
public:
    CStatusImages();
    ~CStatusImages();
    CStatusImages(const CStatusImages&) = delete;
    CStatusImages& operator=(const CStatusImages&) = delete;

    void Load(HINSTANCE instance);
    void Free();
    // Index into m_battery for a charge in percent; valid clear (the level is
    // unknown) gives STATUS_BATTERY_UNKNOWN.
    static int BatteryIconIndex(int percent, BOOL valid);

    BYTE m_loaded;
    HBITMAP m_battery[STATUS_BATTERY_IMAGES];
    HBITMAP m_link[2];   // [0] link up, [1] link down
    HBITMAP m_extra[2];  // the small link pictures: [0] up, [1] down
    HBITMAP m_mains[2];  // charging marks: [0] mains state 2, [1] other states
    HBITMAP m_plug;
};

extern CStatusImages g_statusImages;
