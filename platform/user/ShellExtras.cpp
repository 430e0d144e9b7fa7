// The shell's window helpers. On the handheld they keep the input panel in
// step with the active window; there is no input panel here, so they record
// the activation state and answer.
#include "platform/WinShell.h"
#include "platform/WinUser.h"

BOOL SHInitExtraControls()
{
    return TRUE;
}

BOOL SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM, SHACTIVATEINFO* info, DWORD)
{
    if (!info) return FALSE;
    const bool active = LOWORD(wParam) != WA_INACTIVE;
    info->fActive = active ? 1 : 0;
    if (!active) info->hwndLastFocus = GetFocus();
    (void)window;
    return TRUE;
}

BOOL SHHandleWMSettingChange(HWND, WPARAM, LPARAM, SHACTIVATEINFO* info)
{
    return info ? TRUE : FALSE;
}
