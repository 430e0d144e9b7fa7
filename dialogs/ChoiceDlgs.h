// Three small screens that set one byte of the settings block by a choice of
// two radios, on one empty template and one layout: the unit system
// (CUnitsDlg), the handheld's USB client mode (CUsbModeDlg, which also sets
// the USB driver in the registry and offers a restart) and the measuring mode
// (CModeOptionDlg).
#pragma once

#include "ui/ScreenDlg.h"

// The layout and the common steps of the three: the frame, the two radios,
// OK and close. A screen states its texts and ids and what a tap and OK do.
template <class Screen>
class CTwoChoiceDlg : public CScreenDlg<Screen> {
    using Base = CScreenDlg<Screen>;

public:
    static constexpr int kTemplateId = 731;
    static constexpr int kBackId = 424;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;
    static constexpr int kOkId = 425;

    void OnInitDialog();
    void PaintContent(HDC dc);
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);

    // Which of the two radios is checked: 1, 2, or 0 for none.
    int CheckedRadio() const;

    COwnerButton m_buttons[2];
    COwnerButton m_radios[2];

protected:
    CTwoChoiceDlg() = default;
    ~CTwoChoiceDlg() = default;
    // Checks one of the two radios (1 or 2).
    void CheckRadio(int which);
    // Ends the screen as OK and close both do.
    void EndScreen();

private:
    Screen& Self() { return static_cast<Screen&>(*this); }
};

class CUnitsDlg : public CTwoChoiceDlg<CUnitsDlg> {
public:
    static constexpr int kTitleTextId = 40218;
    static constexpr int kRadio1Id = 725;
    static constexpr int kRadio2Id = 726;
    static constexpr int kRadio1Text = 40219;
    static constexpr int kRadio2Text = 40220;

    // Millimetres unless the settings hold inches (2).
    int InitialRadio() const;
    void OnRadio(int which);
    void OnOk();
};

class CUsbModeDlg : public CTwoChoiceDlg<CUsbModeDlg> {
public:
    static constexpr int kTitleTextId = 40215;
    static constexpr int kRadio1Id = 426;
    static constexpr int kRadio2Id = 427;
    static constexpr int kRadio1Text = 40216;
    static constexpr int kRadio2Text = 40217;

    void OnLoadSettings();
    int InitialRadio() const;
    void OnRadio(int which);
    // Registry, settings file, then the restart question; nothing at all when
    // the mode is the one the screen opened with.
    void OnOk();

    BYTE Remembered() const { return m_remembered; }
    BYTE Mode() const { return m_params.usbMode; }

private:
    BYTE m_remembered = 0;
};

class CModeOptionDlg : public CTwoChoiceDlg<CModeOptionDlg> {
public:
    static constexpr int kTitleTextId = 40200;
    static constexpr int kRadio1Id = 426;
    static constexpr int kRadio2Id = 427;
    static constexpr int kRadio1Text = 40201;
    static constexpr int kRadio2Text = 40202;

    int InitialRadio() const;
    void OnRadio(int which);
    void OnOk();

    BYTE Mode() const { return m_params.measureMode; }
};

// The question after a change of the USB mode, and the notice when the
// handheld did not restart.
constexpr int TEXT_USB_RESTART_QUESTION = 50052;
constexpr int TEXT_RESTART_FAILED = 50055;
