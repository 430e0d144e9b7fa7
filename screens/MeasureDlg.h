// The measuring screen: one measurement of the current device type is run,
// shown (results panel, and for the wheel head and the disc heads a profile
// chart) and stored in the current journal of the family.
//
// It is opened by the measuring launcher in single-measurement mode, where it
// waits for the measure button, asks for the record data at every save and
// stays open, and by the measuring-series screen for the current position of
// a scheme, where it starts measuring at once (or shows the stored
// measurement of a measured position), and a save ends it with 1.
//
// The screen drives the program's measuring controller. The controller and
// the link monitor use the same serial port: every run and every zeroing
// stops the monitor first (Stop joins its thread) and starts it again with
// this screen as its owner afterwards.
#pragma once

#include "measurement/ParamSave.h"
#include "scheme/Scheme.h"
#include "screens/ResultView.h"
#include "sensor/LinkMonitor.h"
#include "settings/DBJournal_Qav.h"
#include "settings/DBJournal_Qod.h"
#include "settings/JournalRecords.h"
#include "ui/OwnerButton.h"
#include "ui/OwnerChart.h"
#include "ui/ScreenDlg.h"
#include "ui/StatusImages.h"

class CMeasureDlg : public CScreenDlg<CMeasureDlg> {
public:
    static constexpr int kTemplateId = 606;
    static constexpr int kTitleTextId = 40603;
    static constexpr int kBackId = 255;
    static constexpr INT_PTR kEraseAnswer = 1;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 0.0f;

    // Commands.
    enum : int {
        kCloseId = 255,
        kMeasureId = 256,       // types 1 and 4
        kSaveId = 257,
        kMeasureQunId = 390,    // type 2
        kZeroQunId = 391,
        kMeasureQemId = 392,    // type 3
        kZeroQemId = 393,
        kComputeId = 394,       // type 1, averaging and option layout
        kChartModeId = 398,
        kRunWheelId = 507,
        kZoomInId = 509,
        kZoomOutId = 510,
        kZoomResetId = 511,
        kWearToggleId = 596,
        kDeviationToggleId = 597,
        kChartId = 639,
        kOverlayId = 664,
        kRunQunId = 683,
        kRunQemId = 684,
        kChartViewId = 711,
        kResultsViewId = 712,
        kPrevStepId = 715,
        kNextStepId = 716,
        kSideAId = 757,
        kSideBId = 758,
        kRunDiscId = 759,
    };
    static constexpr UINT_PTR kRunTimer = 2;
    static constexpr UINT kRunDelayMs = 10;
    static constexpr UINT_PTR kStatusTimer = 4;
    static constexpr UINT kStatusMs = 500;
    // Averaged measurements the averaging mode takes at most.
    static constexpr LONG kMaxAveraged = 10;

    // Where the results and the chart go.
    static constexpr int kViewX = 120, kViewY = 87, kViewWidth = 355, kViewHeight = 180;

    // Slots of the button groups.
    enum { kSlotClose, kSlotMeasure, kSlotSave, kSlotFourth };
    enum { kToggleOverlay, kToggleDeviation, kToggleWear };
    enum { kZoomOutSlot, kZoomInSlot, kZoomResetSlot, kChartModeSlot };

    CMeasureDlg();
    ~CMeasureDlg();

    // 1 when the screen ended with a stored record (scheme mode), else 0.
    // Nothing is copied back: the record reaches the journal and the result
    // stays in the controller. Without the record of the family the settings
    // copy names (or without a controller or link monitor) the screen opens
    // nothing and gives 0.
    BOOL DoModal(HINSTANCE instance, HWND parent, CMeasureController* controller, QavJournalRecord* qav,
                 QodJournalRecord* qod, CLinkMonitor* linkMonitor, BYTE askBeforeReplace);

    // ---- the pattern's hooks
    void OnLoadSettings();
    void OnInitDialog();
    void OnTimer(UINT_PTR id);
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& answer);
    void PaintContent(HDC dc);
    void OnClose();
    // A close is the back button's clean-up: nothing was stored by it.
    INT_PTR CloseResult() const { return 0; }
    LPCWSTR TitleText();

    // ---- controls (MeasureDlgControls.cpp)
    void CreateControlsType1();
    void CreateControlsType2();
    void CreateControlsType3();
    void CreateControlsType4();
    void ShowViewControls();
    void UpdateZoomButtons();
    void SetButtonState(CImageButton& button, int state);
    void SelectRadio(int firstId, int lastId, int choice);
    // The averaging and option layout of device type 1.
    bool OptionLayout() const;

    // ---- chart set-ups and fills (MeasureDlgChart.cpp)
    void SetupWheelChart();
    void SetupChartSeries();
    void SetupChartAlt();
    void SetupDiscChart();
    void SetSeriesVisibility();
    void FillWheelSeries(int series, DWORD count, const ProfilePoint* points, BYTE reference);
    void FillMarkSeries(DWORD count, const DeviationRow* rows);
    void FillDiscSeries(int series, DWORD count, const ProfilePoint* points, int side, BYTE reference);
    void FillDiscSides();
    void FormatValue(HDC dc);
    // The disc chart's bases from the controller's reference profile.
    void SetDiscBases();

    // ---- runs (MeasureDlg.cpp)
    void RunWheel();
    void RunGauge(bool type3);
    void RunDisc();
    void ZeroGauge(int buttonSlot);
    void Compute();
    void Save();

    // ---- storing (MeasureDlgSave.cpp): 1 stored; 0 declined or failed (a
    // failure is shown).
    int SaveQavRecord();
    int SaveQodRecord();
    // The failure notice of a save the journal refused.
    void ShowSaveFailure(CFixedRecordFile::Refusal why);
    // The notice of a save that was made but not confirmed by the card.
    void ShowSaveUnconfirmed(bool unconfirmed);

    BYTE Type() const { return m_params.deviceType; }
    bool Overlay() const { return m_toggles[kToggleOverlay].m_state == 1; }
    bool LinkUp() const { return m_linkMonitor && m_linkMonitor->m_connected.load() == 1; }

    BYTE m_askBeforeReplace = 0;
    BYTE m_zeroFirst = 0;
    DWORD m_unitDivisor = 1000;
    QavJournalRecord m_qav;
    QodJournalRecord m_qod;
    COwnerButton m_mainButtons[4];   // close, measure, save, fourth
    CImageButton m_viewButtons[2];   // results view 712, chart view 711
    COwnerButton m_stepButtons[2];   // 715, 716
    CMeasureController* m_controller = nullptr;
    CLinkMonitor* m_linkMonitor = nullptr;
    int m_measuring = 0;
    int m_viewIndex = 0;   // 0 results, 1 chart
    int m_chartMode = 1;   // 1 profile, 0 deviation
    CResultView m_results;
    CScheme m_scheme;      // finds the stored record of the position
    CDBJournalQav m_journalQav;
    CDBJournalQod m_journalQod;
    COwnerChart m_chart;
    COwnerButton m_chartButtons[4];  // zoom out 510, zoom in 509, reset 511, chart mode 398
    CImageButton m_toggles[3];       // overlay 664, deviation 597, wear zones 596
    COwnerButton m_sideRadios[2];    // 757, 758
    CStatusImages m_statusImages;
    LONG m_refBase = 0;
    LONG m_measuredBase = 0;

private:
    void StartBusy(bool overChart);
    void EndRun();
    // Sends a command to the screen itself.
    void Command(int id);
    void Invalidate() { InvalidateRect(m_hWnd, nullptr, FALSE); }
    COwnerButton& Button(int slot) { return m_mainButtons[slot]; }
};
