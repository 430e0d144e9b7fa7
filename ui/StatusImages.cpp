#include "ui/StatusImages.h"

CStatusImages g_statusImages;

namespace {

const int kBatteryIds[STATUS_BATTERY_IMAGES] = {636, 626, 627, 628, 629, 630, 631, 631, 631, 632, 633, 637};

HBITMAP Load(HINSTANCE instance, int id)
{
    return static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

void Release(HBITMAP& bitmap)
{
    if (bitmap) DeleteObject(bitmap);
    bitmap = nullptr;
}

}  // namespace

CStatusImages::CStatusImages() : m_loaded(0), m_battery{}, m_link{}, m_extra{}, m_mains{}, m_plug(nullptr) {}

CStatusImages::~CStatusImages()
{
    Free();
}

void CStatusImages::Load(HINSTANCE instance)
{
    if (m_loaded) return;
    for (int i = 0; i < STATUS_BATTERY_IMAGES; ++i) m_battery[i] = ::Load(instance, kBatteryIds[i]);
    m_link[0] = ::Load(instance, 161);
    m_link[1] = ::Load(instance, 162);
    m_extra[0] = ::Load(instance, 696);
    m_extra[1] = ::Load(instance, 695);
    m_mains[0] = ::Load(instance, 634);
    m_mains[1] = ::Load(instance, 635);
    m_plug = ::Load(instance, 638);
    m_loaded = 1;
}

void CStatusImages::Free()
{
    for (HBITMAP& b : m_battery) Release(b);
    for (HBITMAP& b : m_link) Release(b);
    for (HBITMAP& b : m_extra) Release(b);
    for (HBITMAP& b : m_mains) Release(b);
    Release(m_plug);
    m_loaded = 0;
}

int CStatusImages::BatteryIconIndex(int percent, BOOL valid)
{
    if (percent > 100) percent = 100;
    if (!valid) return STATUS_BATTERY_UNKNOWN;
    if (percent <= 10) return 0;  // a negative reading shows the empty battery
    return (percent - 1) / 10;
}
