// What the modal screens built on a dialog template of the resources share:
// running the template and routing its messages to the object that opened it.
#pragma once

#include "platform/WinDef.h"
#include "platform/WinGdi.h"
#include "platform/WinUser.h"

// Runs dialog template `id` of `instance` modally and gives the value it ended
// with in `end`; false, with nothing shown, when there is no such template.
inline bool RunDialogTemplate(HINSTANCE instance, int id, HWND parent, DLGPROC proc, INT_PTR& end)
{
    HRSRC res = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_DIALOG);
    HGLOBAL data = res ? LoadResource(instance, res) : nullptr;
    auto* tmpl = data ? static_cast<LPCDLGTEMPLATEW>(LockResource(data)) : nullptr;
    if (!tmpl) return false;
    end = DialogBoxIndirectParamW(instance, tmpl, parent, proc, 0);
    return true;
}

// 1 when the screen was ended with an answer: neither 0 nor the failure -1.
inline int DialogAnswered(INT_PTR end)
{
    return (end != 0 && end != -1) ? 1 : 0;
}

// Each box keeps the object that opened it (stored at WM_INITDIALOG), so a
// box opened by another object meanwhile does not take this one's messages;
// a message before WM_INITDIALOG goes to the object opening a box now.
template <typename Dialog>
INT_PTR RouteDialogMessage(Dialog* opening, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongW(hwnd, DWL_USER));
    if (msg == WM_INITDIALOG || !self) {
        self = opening;
        if (msg == WM_INITDIALOG) SetWindowLongW(hwnd, DWL_USER, reinterpret_cast<LONG_PTR>(self));
    }
    return self ? self->DlgProc(hwnd, msg, wParam, lParam) : FALSE;
}

// Every screen answers the colour questions of its controls and of itself the
// same way: the window colour, with text drawn on a transparent background.
inline INT_PTR ScreenColourBrush(UINT msg, WPARAM wParam)
{
    if (msg != WM_CTLCOLORDLG) SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
}
