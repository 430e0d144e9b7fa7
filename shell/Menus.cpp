// The three menu screens of the start screen: settings, parameters and data.
// Each is a dialog procedure over an empty template with a back button and
// large captioned bitmap buttons; each button opens one screen and, after it,
// the running settings block is read again from the file.
#include <cstring>

#include "dialogs/ChoiceDlgs.h"
#include "dialogs/LanguageDlg.h"
#include "dialogs/ParamOptionsDlg.h"
#include "dialogs/ParamSwitchesDlg.h"
#include "dialogs/ParamTableDlg.h"
#include "dialogs/ToleranceEditorDlg.h"
#include "dialogs/TypeCatalogDlg.h"
#include "journal/JournalListDlg.h"
#include "platform/WinGdi.h"
#include "scheme/ui/ReferListDlg.h"
#include "scheme/ui/SchemeListDlg.h"
#include "sensor/ui/BTDeviceListDlg.h"
#include "settings/DeviceSetup.h"
#include "settings/Language.h"
#include "shell/ProgramObjects.h"
#include "shell/Shell.h"
#include "ui/BufferedDC.h"
#include "ui/DateTimeUtil.h"
#include "ui/ModalDialog.h"
#include "ui/PaintHelper.h"
#include "ui/ScreenDlg.h"

namespace {

// Runs the screen a menu button opens, with the menu as its owner; 1 or 0 as
// the screen ended.
template <class Screen>
int Open(HWND menu)
{
    return RunScreen<Screen>(g_hInstance, menu) ? 1 : 0;
}

// The sensor screen works on the program's link monitor.
int OpenSensorList(HWND menu)
{
    return RunScreen<CBTDeviceListDlg>(g_hInstance, menu, &g_linkMonitor) ? 1 : 0;
}

constexpr int kSettingsBack = 417;
constexpr int kParamBack = 163;
constexpr int kDataBack = 167;

// One button of a menu; slot 0 is the back button. The faces and the caption
// of a few buttons depend on the device type (see the Faces functions).
struct MenuButton {
    int id;
    int x, y;
    int normal, pressed, disabled;
    int caption;
    int (*open)(HWND menu);
};

constexpr MenuButton kSettingsButtons[SETTINGS_MENU_BUTTONS] = {
    {kSettingsBack, 435, 7, 173, 174, 0, 0, nullptr},
    {418, 50, 75, 772, 773, 0, 40010, Open<CModeOptionDlg>},
    {599, 50, 136, 729, 730, 0, 40015, Open<CUnitsDlg>},
    {419, 50, 197, 183, 184, 0, 40011, Open<CDateTimeDlg>},
    {420, 261, 75, 388, 389, 0, 40012, OpenSensorList},
    {421, 261, 136, 357, 358, 0, LANGUAGE_TEXT_LANGUAGE, Open<CLanguageDlg>},
    {598, 261, 197, 713, 714, 0, 40014, Open<CUsbModeDlg>},
};

constexpr MenuButton kParamButtons[PARAM_MENU_BUTTONS] = {
    {kParamBack, 435, 7, 173, 174, 0, 0, nullptr},
    {165, 159, 75, 373, 374, 375, 40021, Open<CParamOptionsDlg>},
    {166, 159, 136, 370, 371, 372, 40022, Open<CParamSwitchesDlg>},
    {164, 159, 197, 367, 368, 369, 40020, Open<CParamTableDlg>},
};

constexpr MenuButton kDataButtons[DATA_MENU_BUTTONS] = {
    {kDataBack, 435, 7, 173, 174, 0, 0, nullptr},
    {168, 50, 75, 178, 179, 0, 40024, Open<CJournalListDlg>},
    {169, 50, 136, 365, 366, 0, 40025, Open<CReferListDlg>},
    {170, 50, 197, 361, 362, 0, 40026, Open<CSchemeListDlg>},
    {171, 261, 75, 363, 364, 0, 40027, Open<CToleranceEditorDlg>},
    {172, 261, 136, 620, 621, 0, 40023, Open<CTypeCatalogDlg>},
};

constexpr int kMenuButtonWidth = 161;
constexpr int kMenuButtonHeight = 51;

struct Menu {
    int titleText;
    int backId;
    COwnerButton* buttons;
    const MenuButton* table;
    int count;
    int captionLeft;  // 0: the default placement
};

Menu SettingsMenu()
{
    return {LANGUAGE_TEXT_SETTINGS, kSettingsBack, g_settingsMenuButtons.data(), kSettingsButtons,
            SETTINGS_MENU_BUTTONS, 45};
}
Menu ParamMenu()
{
    return {40001, kParamBack, g_paramMenuButtons.data(), kParamButtons, PARAM_MENU_BUTTONS, 0};
}
Menu DataMenu()
{
    return {40002, kDataBack, g_dataMenuButtons.data(), kDataButtons, DATA_MENU_BUTTONS, 0};
}

bool DiscDevice()
{
    return g_paramBlock.deviceType == 4;
}

int CaptionOf(const Menu& menu, int slot)
{
    if (menu.table == kDataButtons && slot == 5 && DiscDevice()) return 40028;
    return menu.table[slot].caption;
}

void SetCaptions(const Menu& menu)
{
    for (int slot = 1; slot < menu.count; ++slot) {
        COwnerButton& b = menu.buttons[slot];
        b.SetCaption(g_language.GetText(CaptionOf(menu, slot)), 0xFFFFFF, FALSE, FALSE, FALSE, menu.captionLeft, 0);
        if (b.m_hWnd) InvalidateRect(b.m_hWnd, nullptr, FALSE);
    }
}

void CreateButtons(const Menu& menu, HWND hwnd)
{
    for (int slot = 0; slot < menu.count; ++slot) {
        const MenuButton& m = menu.table[slot];
        int normal = m.normal, pressed = m.pressed;
        if (menu.table == kDataButtons && slot == 2 && DiscDevice()) {
            normal = 777;
            pressed = 778;
        }
        // The back button takes its size from its bitmap.
        const int w = slot == 0 ? 0 : kMenuButtonWidth;
        const int h = slot == 0 ? 0 : kMenuButtonHeight;
        menu.buttons[slot].Create(hwnd, g_hInstance, m.x, m.y, w, h, m.id, normal, pressed, m.disabled);
    }
    SetCaptions(menu);
    if (menu.table == kParamButtons) {
        // The gauges have no profile: no dimensions, and the type-2 gauge no options.
        const int type = g_paramBlock.deviceType;
        if (type == 2) menu.buttons[1].Enable(FALSE);
        if (type == 2 || type == 3) menu.buttons[3].Enable(FALSE);
    }
}

void DestroyButtons(const Menu& menu)
{
    for (int slot = 0; slot < menu.count; ++slot) menu.buttons[slot].Destroy();
}

void Paint(const Menu& menu, HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    {
        CBufferedDC buffered(hdc, RECT{0, 0, client.right, client.bottom});
        PaintScreenFrame(g_paintHelper, hwnd, buffered.m_hDC, g_hInstance, 0.0f, g_language.GetText(menu.titleText));
    }
    EndPaint(hwnd, &ps);
}

// What follows a screen the menu ran.
void AfterScreen(int id, int result)
{
    const bool confirmed = result > 0;
    if (confirmed && id == 419) {
        SetMainButtonCaptions();
        SetSettingsMenuCaptions();
        SetDataMenuCaptions();
    }
    // A new current sensor: link down and no reading, so the monitor
    // reconnects, and the next measurement identifies the head again.
    if (confirmed && id == 420) {
        g_linkMonitor.MarkDisconnected();
        g_measureController.ForgetHeads();
    }
    // Read again whatever the result: a screen may have saved the block and
    // still returned false.
    ReloadParamBlock();
    SetMeasureButtonBitmaps();
    if (confirmed && id == 421) {
        g_language.Load();
        SetMainButtonCaptions();
        SetSettingsMenuCaptions();
        SetDataMenuCaptions();
    }
}

INT_PTR MenuProc(const Menu& menu, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: CreateButtons(menu, hwnd); return TRUE;
    case WM_PAINT: Paint(menu, hwnd); return FALSE;
    case WM_ERASEBKGND: return TRUE;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG: return ScreenColourBrush(msg, wParam);
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        for (int slot = 0; item && slot < menu.count; ++slot)
            if (menu.buttons[slot].m_hWnd && menu.buttons[slot].m_hWnd == item->hwndItem)
                menu.buttons[slot].DrawItem(item);
        return FALSE;
    }
    case WM_CLOSE:
        DestroyButtons(menu);
        EndDialog(hwnd, WM_CLOSE);
        return TRUE;
    case WM_POWERKEY:
    case WM_POWERKEY_SHELL:
        if (g_messageBox.Show(g_hInstance, hwnd, MESSAGE_QUESTION, g_language.GetText(SCREEN_POWER_QUESTION)) == 1) {
            g_linkMonitor.ClosePortQuiet();
            SendMessageW(hwnd, WM_CLOSE, 0, 0);
            PowerOffDevice();
        }
        return FALSE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == menu.backId) {
            EndDialog(hwnd, WM_COMMAND);
            return TRUE;
        }
        for (int slot = 1; slot < menu.count; ++slot) {
            if (menu.table[slot].id != id || !menu.table[slot].open) continue;
            AfterScreen(id, menu.table[slot].open(hwnd));
            return TRUE;
        }
        return FALSE;
    }
    default: return FALSE;
    }
}

}  // namespace

BOOL ReloadParamBlock()
{
    ParamBlock scratch;
    std::memset(&scratch, 0, sizeof scratch);
    if (!g_paramFile.Load(&scratch)) return FALSE;
    g_paramBlock = scratch;
    return TRUE;
}

void SetSettingsMenuCaptions()
{
    SetCaptions(SettingsMenu());
}
void SetParamMenuCaptions()
{
    SetCaptions(ParamMenu());
}
void SetDataMenuCaptions()
{
    SetCaptions(DataMenu());
}

INT_PTR CALLBACK SettingsMenuDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return MenuProc(SettingsMenu(), hwnd, msg, wParam, lParam);
}
INT_PTR CALLBACK ParamMenuDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return MenuProc(ParamMenu(), hwnd, msg, wParam, lParam);
}
INT_PTR CALLBACK DataMenuDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return MenuProc(DataMenu(), hwnd, msg, wParam, lParam);
}
