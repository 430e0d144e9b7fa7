// The start screen: the procedure of the program's only non-modal window. It
// finishes the start-up, shows the six command buttons and the status area
// (the handheld's battery, the sensor's battery, the link), opens the menus,
// the journal browser and the measuring road, and ends the program.
#include <cstring>

#include "journal/JournalViewDlg.h"
#include "platform/WinCtrl.h"
#include "platform/WinGdi.h"
#include "platform/WinText.h"
#include "resources/ResourceIds.h"
#include "settings/DeviceSetup.h"
#include "settings/Language.h"
#include "shell/ProgramObjects.h"
#include "shell/Shell.h"
#include "ui/BufferedDC.h"
#include "ui/BusyAnimation.h"
#include "ui/PaintHelper.h"
#include "ui/ScreenDlg.h"
#include "ui/StatusImages.h"

SHACTIVATEINFO g_shellActivateInfo = {};
WCHAR g_mainTitle[MAIN_TITLE_CHARS] = {};

namespace {

struct MainButton {
    int id;
    int x, y, width, height;
    int normal, pressed, disabled;
    int caption;  // 0: none
};

// Slot 5's faces are chosen by the device type (SetMeasureButtonBitmaps).
constexpr MainButton kMainButtons[] = {
    {CMD_EXIT, 435, 11, 31, 31, 341, 342, 0, 0},
    {CMD_SETTINGS_MENU, 18, 60, 141, 51, 348, 350, 349, LANGUAGE_TEXT_SETTINGS},
    {CMD_PARAM_MENU, 169, 60, 141, 51, 180, 181, 182, 40001},
    {CMD_DATA_MENU, 320, 60, 141, 51, 135, 136, 137, 40002},
    {CMD_JOURNAL, 18, 126, 141, 51, 138, 139, 140, 40003},
    {CMD_MEASURE, 18, 192, 141, 51, 141, 143, 142, 40004},
};
constexpr int kUsedSlots = 6;
constexpr int kMeasureSlot = 5;

constexpr int kFooterChars = 150;
constexpr int kSerialChars = 12;

int StatusFontHeight()
{
    return g_language.IsChinese() ? 11 : 12;
}

void DrawText12(HWND window, HDC dc, int x, int y, int width, LPCWSTR text)
{
    g_paintHelper.DrawCaption(window, dc, x, y, width, text, StatusFontHeight(), 4, 0x000000, FALSE, TRUE, 0);
}

void DrawMainFooter(HWND window, HDC dc)
{
    g_paintHelper.DrawPanel(window, dc, 1.0f);
    const int title = g_paramBlock.deviceType == 4 ? 40108 : 40101;
    g_paintHelper.DrawCaption(window, dc, 65, 7, 360, g_language.GetText(title), 20, 7, 0xFF0000, TRUE, TRUE, 0);
    WCHAR version[64];
    swprintf(version, 64, u"%s %s", g_language.GetText(40102), GetVersionText());
    g_paintHelper.DrawCaption(window, dc, 340, 30, 0, version, 12, 4, 0x000000, FALSE, TRUE, 0);
    WCHAR footer[kFooterChars] = {};
    LoadStringW(g_hInstance, IDS_FOOTER, footer, kFooterChars);
    g_paintHelper.DrawCaption(window, dc, 5, 255, 0, footer, 12, 4, 0x000000, FALSE, TRUE, 0);
}

void DrawStatusItem(HWND window, HDC dc, int x, int y, int level, int state, LPCWSTR caption)
{
    const int slot = CStatusImages::BatteryIconIndex(level, level != 255);
    g_paintHelper.StretchBitmap(dc, g_statusImages.m_battery[slot], x, y, 48, 48);
    WCHAR text[PAINT_CAPTION_CHARS + 1];
    qplat::CopyField(text, PAINT_CAPTION_CHARS + 1, caption);
    DrawText12(window, dc, x, y + 50, 48, text);
    if (level != 0 && level != 255 && state == 0) {
        WCHAR percent[16];
        swprintf(percent, 16, u"%d %s", level, u"%");
        DrawText12(window, dc, x, y + 62, 48, percent);
    }
    if (state > 0 && level != 255) {
        g_paintHelper.StretchBitmap(dc, g_statusImages.m_plug, x + 39, y + 38, 0, 0);
        g_paintHelper.StretchBitmap(dc, g_statusImages.m_mains[state == 2 ? 0 : 1], x + 42, y + 10, 0, 0);
    }
}

void DrawDeviceSerial(HWND window, HDC dc, int x, int y, int linked)
{
    DrawText12(window, dc, x + 60, y + 5, 0, g_language.GetText(linked ? 40106 : 40105));
    // The serial field exists only for the four device types.
    if (const ParamBTRecord* record = SensorRecordOf(&g_paramBlock, g_paramBlock.deviceType)) {
        // The stored field may lack its terminator.
        WCHAR serial[kSerialChars + 1] = {};
        static_assert(sizeof record->name == kSerialChars * sizeof(WCHAR));
        std::memcpy(serial, record->name, sizeof record->name);
        DrawText12(window, dc, x + 60, y + 17, 0, serial);
    }
    COwnerButton& measure = g_mainButtons[kMeasureSlot];
    const BOOL enable = linked == 1;
    if (measure.m_hWnd && (IsWindowEnabled(measure.m_hWnd) ? TRUE : FALSE) != enable) measure.Enable(enable);
    g_paintHelper.DrawBitmapScaled(window, dc, g_statusImages.m_link[linked ? 0 : 1], x, y, 3, 6,
                                   g_linkMonitor.m_rssi.load(), linked ? TRUE : FALSE);
}

void PaintMain(HWND window)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    {
        CBufferedDC buffered(hdc, RECT{0, 0, client.right, client.bottom});
        HDC dc = buffered.m_hDC;
        DrawMainFooter(window, dc);
        g_paintHelper.DrawBitmapTopLeft(g_hInstance, dc);
        DrawStatusItem(window, dc, 390, 125, g_linkMonitor.m_battery.load(),
                       g_linkMonitor.m_mainsSeen.load() ? 1 : 0, g_language.GetText(40103));
        const int type = g_paramBlock.deviceType;
        if (type == 1 || type == 4) {
            const SensorState state = g_linkMonitor.GetSensorState();
            DrawStatusItem(window, dc, 300, 125, state.charge, state.tiltSign,
                           g_language.GetText(type == 4 ? 40107 : 40104));
        }
        DrawDeviceSerial(window, dc, 310, 210, g_linkMonitor.m_connected.load());
    }
    EndPaint(window, &ps);
}

// The start screen takes the link monitor back after every screen it opened:
// a screen on the way may have made itself the monitor's owner.
void RestartLinkMonitor(HWND window)
{
    if (!IsWindow(window)) return;
    g_linkMonitor.Stop();
    g_linkMonitor.Start(window);
}

bool CardWatchWanted()
{
    return g_paramBlock.usbMode == 0;
}

void RunMenu(HWND window, int templateId, DLGPROC proc)
{
    g_mainScreenActive = 0;
    g_linkMonitor.Stop();
    INT_PTR end = 0;
    RunDialogTemplate(g_hInstance, templateId, window, proc, end);
    // The program may have been closed from inside the menu.
    if (!IsWindow(window)) return;
    RestartLinkMonitor(window);
    g_mainScreenActive = 1;
}

void RunJournal(HWND window)
{
    g_mainScreenActive = 0;
    g_linkMonitor.Stop();
    // The program-wide filter screen serves every opening; the browser's
    // filter keys start at " ----- " each time, so no filter outlives it.
    RunScreen<CJournalViewDlg>(g_hInstance, window, &g_journalFilter);
    if (!IsWindow(window)) return;
    RestartLinkMonitor(window);
    g_mainScreenActive = 1;
}

void RunMeasurement(HWND window)
{
    const bool watch = CardWatchWanted();
    if (watch) g_cardWatch.Stop();
    g_mainScreenActive = 0;
    g_linkMonitor.Stop();
    switch (g_paramBlock.deviceType) {
    case 1: RunMeasuringType1(window); break;
    case 2:
    case 3: RunMeasuringType2And3(window); break;
    case 4: RunMeasuringType4(window); break;
    default: break;
    }
    if (!IsWindow(window)) return;
    RestartLinkMonitor(window);
    g_mainScreenActive = 1;
    if (watch) g_cardWatch.Start(g_hInstance, window);
}

// Exit and the power key: on yes the port is closed without waiting, the
// window closes and the handheld is switched off.
void AskPowerOff(HWND window, CMessageDlg& box)
{
    if (box.Show(g_hInstance, window, MESSAGE_QUESTION, g_language.GetText(SCREEN_POWER_QUESTION)) != 1) return;
    g_linkMonitor.ClosePortQuiet();
    SendMessageW(window, WM_CLOSE, 0, 0);
    PowerOffDevice();
}

void OnCreate(HWND window)
{
    INITCOMMONCONTROLSEX init{8, ICC_DATE_CLASSES};
    InitCommonControlsEx(&init);
    g_mainScreenActive = 1;
    g_language.Load();
    qplat::CopyField(g_mainTitle, MAIN_TITLE_CHARS, g_language.GetText(50000));
    g_statusImages.Load(g_hInstance);
    std::memset(&g_paramBlock, 0, sizeof g_paramBlock);
    if (!g_paramFile.Load(&g_paramBlock)) g_paramFile.WriteDefaults(&g_paramBlock);
    CreateMainButtons(window);
    g_linkMonitor.Start(window);
    if (CardWatchWanted()) g_cardWatch.Start(g_hInstance, window);
    std::memset(&g_shellActivateInfo, 0, sizeof g_shellActivateInfo);
    g_shellActivateInfo.cbSize = 12;
}

// A close asked for by the window system (or a signal): the orderly way out,
// without the power-off question and without switching anything off. The
// port is closed only once the link monitor's thread has stopped using it.
void CloseInOrder()
{
    StopProgramThreads();
    g_linkMonitor.ClosePort();
}

}  // namespace

const WCHAR* GetVersionText()
{
    static WCHAR version[32];
    swprintf(version, 32, u"%s%s%d%s%d", u"4.9", u".", 2, u".", 1);
    return version;
}

void SetMainButtonCaptions()
{
    for (int slot = 1; slot < kUsedSlots; ++slot) {
        COwnerButton& button = g_mainButtons[slot];
        button.SetCaption(g_language.GetText(kMainButtons[slot].caption), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 0);
        if (button.m_hWnd) InvalidateRect(button.m_hWnd, nullptr, FALSE);
    }
}

void SetMeasureButtonBitmaps()
{
    COwnerButton& measure = g_mainButtons[kMeasureSlot];
    if (g_paramBlock.deviceType == 4)
        measure.SetBitmaps(779, 780, 781);
    else
        measure.SetBitmaps(141, 143, 142);
    if (measure.m_hWnd) InvalidateRect(measure.m_hWnd, nullptr, FALSE);
}

void CreateMainButtons(HWND window)
{
    SetMainButtonCaptions();
    for (int slot = 0; slot < kUsedSlots; ++slot) {
        const MainButton& b = kMainButtons[slot];
        int normal = b.normal, pressed = b.pressed, disabled = b.disabled;
        if (slot == kMeasureSlot && g_paramBlock.deviceType == 4) {
            normal = 779;
            pressed = 780;
            disabled = 781;
        }
        g_mainButtons[slot].Create(window, g_hInstance, b.x, b.y, b.width, b.height, b.id, normal, pressed, disabled);
    }
}

LRESULT CALLBACK MainWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: OnCreate(window); return 0;
    case WM_CLOSE:
        CloseInOrder();
        return DefWindowProcW(window, msg, wParam, lParam);
    case WM_DESTROY:
        for (COwnerButton& b : g_mainButtons) b.Destroy();
        g_statusImages.Free();
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE: SHHandleWMActivate(window, wParam, lParam, &g_shellActivateInfo, 0); return 0;
    case WM_SETTINGCHANGE: SHHandleWMSettingChange(window, wParam, lParam, &g_shellActivateInfo); return 0;
    case WM_PAINT: PaintMain(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_TIMER: InvalidateRect(window, nullptr, FALSE); return 0;
    case WM_DRAWITEM:
        if (g_mainScreenActive == 1) {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            for (int slot = 0; item && slot < kUsedSlots; ++slot)
                if (g_mainButtons[slot].m_hWnd && g_mainButtons[slot].m_hWnd == item->hwndItem)
                    g_mainButtons[slot].DrawItem(item);
        }
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case CMD_EXIT: {
            CMessageDlg box;
            AskPowerOff(window, box);
            return 0;
        }
        case CMD_SETTINGS_MENU: RunMenu(window, 473, SettingsMenuDlgProc); return 0;
        case CMD_PARAM_MENU: RunMenu(window, 474, ParamMenuDlgProc); return 0;
        case CMD_DATA_MENU: RunMenu(window, 473, DataMenuDlgProc); return 0;
        case CMD_JOURNAL: RunJournal(window); return 0;
        case CMD_MEASURE: RunMeasurement(window); return 0;
        default: return DefWindowProcW(window, msg, wParam, lParam);
        }
    case WM_POWERKEY:
    case WM_POWERKEY_SHELL: AskPowerOff(window, g_messageBox); return 0;
    case WM_CUT_OFF_SAVE_NOTICE: {
        // wParam: the record file's refusal that holds the journal back.
        const auto why = static_cast<CFixedRecordFile::Refusal>(wParam);
        g_messageBox.Show(g_hInstance, window, MESSAGE_FAILURE,
                          g_language.GetText(JournalRefusalText(why, SCREEN_CUT_OFF_SAVE_STUCK)));
        return 0;
    }
    default: return DefWindowProcW(window, msg, wParam, lParam);
    }
}
