#include "dialogs/SettingsScreen.h"

#include <cstring>

#include "platform/WinCtrl.h"

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr int kCaptionHeight = 18;
constexpr int kRadioHeight = 20;

}  // namespace

HWND CreateConfirmButton(COwnerButton& button, HWND owner, HINSTANCE instance, int id, LPCWSTR caption)
{
    HWND made = button.Create(owner, instance, 170, 223, 141, 41, id, 210, 210, 0);
    SetConfirmCaption(button, caption);
    return made;
}

void SetConfirmCaption(COwnerButton& button, LPCWSTR caption)
{
    button.SetCaption(caption, kWhite, FALSE, FALSE, FALSE, 0, kCaptionHeight);
}

void CreateTableList(CListViewCtl& list, HWND owner, HINSTANCE instance, int id, HFONT font)
{
    list.Create(owner, instance, id, 15, 55, 450, 155, TRUE, TRUE);
    if (list.m_hWnd && font) list.SetFont(font);
}

HWND CreateRadio(COwnerButton& radio, HWND owner, HINSTANCE instance, LPCWSTR text, int x, int y, int width, int id,
                 HFONT font)
{
    HWND made = radio.CreateCheck(owner, instance, text, x, y, width, kRadioHeight, id);
    if (made && font) radio.SetFont(font);
    return made;
}

void ForgetWheelTypeWhenChanged(ParamBlock& block, const ParamBlock& loaded)
{
    if (std::memcmp(&block, &loaded, sizeof block) != 0) std::memset(block.wheelTypeName, 0, sizeof block.wheelTypeName);
}

int DoubleTappedRow(LPARAM lParam, int id, CListViewCtl& list)
{
    if (lParam == 0) return -1;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom != static_cast<UINT_PTR>(id) || header->code != static_cast<UINT>(NM_DBLCLK)) return -1;
    return list.GetSelected();
}
