#include "dialogs/ChoiceDlgs.h"

#include "dialogs/SettingsScreen.h"
#include "settings/DeviceSetup.h"

namespace {

constexpr COLORREF kFrameFill = 0xFFFFFF;
constexpr int kFrameCorner = 10;
constexpr RECT kFrame = {50, 73, 50 + 350, 73 + 120};
constexpr int kRadioX = 70;
constexpr int kRadio1Y = 100;
constexpr int kRadio2Y = 145;
constexpr int kRadioWidth = 300;

constexpr BYTE kMillimetres = 1;
constexpr BYTE kInches = 2;

}  // namespace

// ---------------------------------------------------------------- the layout

template <class Screen>
void CTwoChoiceDlg<Screen>::OnInitDialog()
{
    this->AddButtons(m_buttons, 2);
    this->AddButtons(m_radios, 2);
    this->CreateBackButton(m_buttons[0]);
    CreateConfirmButton(m_buttons[1], this->m_hWnd, this->m_hInstance, kOkId,
                        this->m_language.GetText(SETTINGS_TEXT_CONFIRM));
    CreateRadio(m_radios[0], this->m_hWnd, this->m_hInstance, this->m_language.GetText(Screen::kRadio1Text), kRadioX,
                kRadio1Y, kRadioWidth, Screen::kRadio1Id, this->m_font);
    CreateRadio(m_radios[1], this->m_hWnd, this->m_hInstance, this->m_language.GetText(Screen::kRadio2Text), kRadioX,
                kRadio2Y, kRadioWidth, Screen::kRadio2Id, this->m_font);
    CheckRadio(Self().InitialRadio());
}

template <class Screen>
void CTwoChoiceDlg<Screen>::PaintContent(HDC dc)
{
    this->m_paint.DrawRoundFrame(this->m_hWnd, dc, kFrame.left, kFrame.top, kFrame.right - kFrame.left,
                                 kFrame.bottom - kFrame.top, u"", kFrameFill, kFrameCorner, 1);
}

template <class Screen>
bool CTwoChoiceDlg<Screen>::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    answer = TRUE;
    if (id == kOkId) {
        Self().OnOk();
        return true;
    }
    if (id == Screen::kRadio1Id || id == Screen::kRadio2Id) {
        Self().OnRadio(id == Screen::kRadio1Id ? 1 : 2);
        return true;
    }
    answer = 0;
    return false;
}

template <class Screen>
void CTwoChoiceDlg<Screen>::CheckRadio(int which)
{
    CheckRadioButton(this->m_hWnd, Screen::kRadio1Id, Screen::kRadio2Id,
                     which == 1 ? Screen::kRadio1Id : which == 2 ? Screen::kRadio2Id : 0);
}

template <class Screen>
int CTwoChoiceDlg<Screen>::CheckedRadio() const
{
    if (IsDlgButtonChecked(this->m_hWnd, Screen::kRadio1Id) == BST_CHECKED) return 1;
    if (IsDlgButtonChecked(this->m_hWnd, Screen::kRadio2Id) == BST_CHECKED) return 2;
    return 0;
}

template <class Screen>
void CTwoChoiceDlg<Screen>::EndScreen()
{
    EndDialog(this->m_hWnd, SETTINGS_SCREEN_END);
}

template class CTwoChoiceDlg<CUnitsDlg>;
template class CTwoChoiceDlg<CUsbModeDlg>;
template class CTwoChoiceDlg<CModeOptionDlg>;

// ---------------------------------------------------------------- units

int CUnitsDlg::InitialRadio() const
{
    return m_params.unitSystem == kInches ? 2 : 1;
}

void CUnitsDlg::OnRadio(int which)
{
    CheckRadio(which);
}

void CUnitsDlg::OnOk()
{
    m_params.unitSystem = CheckedRadio() == 1 ? kMillimetres : kInches;
    // A failed save keeps the screen for another try.
    if (SaveSettings()) EndScreen();
}

// ---------------------------------------------------------------- USB mode

void CUsbModeDlg::OnLoadSettings()
{
    m_remembered = m_params.usbMode;
}

int CUsbModeDlg::InitialRadio() const
{
    return m_params.usbMode != 0 ? 1 : 2;
}

void CUsbModeDlg::OnRadio(int which)
{
    m_params.usbMode = which == 1 ? 1 : 0;
    CheckRadio(which);
}

void CUsbModeDlg::OnOk()
{
    if (m_params.usbMode == m_remembered) {
        EndScreen();
        return;
    }
    const RegistryRecord* driver = &g_registryRecords[REGREC_USB_CLIENT_DRIVER];
    // On a failure the driver goes back to the one the unchanged settings
    // stand for (as far as the registry takes it), so that driver and
    // settings byte never disagree after a restart.
    if (!ApplyRegistryRecord(driver, m_params.usbMode)) {
        ApplyRegistryRecord(driver, m_remembered != 0 ? 1 : 0);
        ShowMessage(MESSAGE_FAILURE, SCREEN_SAVE_FAILED);
        return;
    }
    // The settings file reaches the card (rewritten and flushed) before a
    // restart is offered, so that the restart finds the mode the driver has.
    if (!SaveSettings()) {
        ApplyRegistryRecord(driver, m_remembered != 0 ? 1 : 0);
        return;
    }
    if (ShowMessage(MESSAGE_QUESTION, TEXT_USB_RESTART_QUESTION) == 1 && !ResetDevice())
        ShowMessage(MESSAGE_FAILURE, TEXT_RESTART_FAILED);
    EndScreen();
}

// ---------------------------------------------------------------- measuring mode

int CModeOptionDlg::InitialRadio() const
{
    return m_params.measureMode != 0 ? 1 : 2;
}

void CModeOptionDlg::OnRadio(int which)
{
    m_params.measureMode = which == 1 ? 1 : 0;
    CheckRadio(which);
}

void CModeOptionDlg::OnOk()
{
    if (SaveSettings()) EndScreen();
}
