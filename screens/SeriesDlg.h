// The measuring-series screen: walks the loaded measuring scheme position by
// position. It shows the record panel of the current position, the train
// diagram of the current car with the current and measured positions, the
// results of the current position in a small value list and the link
// indicator; each measurement runs in the measuring screen, and a saved one
// is kept in the controller's slot of the position, marked measured, and the
// walk moves on.
//
// The results of the series live in the controller's stored slots: one per
// order position (device types 1, 2 and 4), or one per axle entry for device
// type 3, which measures both wheels of an axle at once.
#pragma once

#include <vector>

#include "measurement/ParamSave.h"
#include "scheme/Scheme.h"
#include "scheme/ui/DiagramScroll.h"
#include "scheme/ui/SchemeView.h"
#include "screens/ResultView.h"
#include "sensor/LinkMonitor.h"
#include "settings/JournalRecords.h"
#include "ui/ControlWrappers.h"
#include "ui/ScreenDlg.h"
#include "ui/StatusImages.h"

class CSeriesDlg : public CScreenDlg<CSeriesDlg> {
public:
    static constexpr int kTemplateId = 247;
    static constexpr int kTitleTextId = 40603;
    static constexpr int kBackId = 248;
    static constexpr INT_PTR kEraseAnswer = 1;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 0.0f;

    enum : int {
        kMeasureId = 249,      // types 1 and 4
        kRecordDataId = 250,
        kPrevPositionId = 251,
        kNextPositionId = 252,
        kPrevCarId = 253,
        kNextCarId = 254,
        kMeasureQunId = 300,   // type 2
        kMeasureQemId = 301,   // type 3
        kValueListId = 328,
        kScrollBarId = 619,
    };
    enum { kSlotBack, kSlotMeasure, kSlotRecordData, kSlotPrevPosition, kSlotNextPosition, kSlotPrevCar,
           kSlotNextCar };
    static constexpr UINT_PTR kStatusTimer = 4;
    static constexpr UINT kStatusMs = 500;
    static constexpr UINT_PTR kStartTimer = 5;
    static constexpr UINT kStartDelayMs = 100;

    // The train diagram's frame and the width of what it shows.
    static constexpr int kDiagramX = 1, kDiagramY = 144, kDiagramWidth = 377, kDiagramHeight = 120;
    static constexpr int kScrollFrom = 373;    // a car this wide or wider scrolls
    static constexpr int kScrollVisible = 371;
    static constexpr int kPageStep = 50;

    CSeriesDlg();
    ~CSeriesDlg();

    // Whether the screen ended with a non-zero result. Without the record of
    // the family its settings copy names (or without the controller, the
    // scheme or the link monitor) it opens nothing and gives 0.
    BOOL DoModal(HINSTANCE instance, HWND parent, CMeasureController* controller, QavJournalRecord* qav,
                 QodJournalRecord* qod, CScheme* scheme, CLinkMonitor* linkMonitor);
    // DoModal's steps before the template runs: the settings copy, the record
    // and the pointers. False when the screen cannot open.
    bool Prepare(HINSTANCE instance, HWND parent, CMeasureController* controller, QavJournalRecord* qav,
                 QodJournalRecord* qod, CScheme* scheme, CLinkMonitor* linkMonitor);

    // ---- the pattern's hooks
    void OnLoadSettings();
    void OnInitDialog();
    void OnTimer(UINT_PTR id);
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& answer);
    void PaintContent(HDC dc);
    void OnClose();
    LPCWSTR TitleText();

    // ---- the screen's steps
    void CreateControls();
    // The series' start (the work of its first timer, without the busy
    // animation and the repaint): the stored results cleared, the names and
    // measured marks taken from the record and the current journal (read
    // once), the results of every measured position recomputed into its slot,
    // then the value list, the scroll bar and the step buttons. False when
    // the journal could not be read (no position is then marked measured).
    bool StartSeries();
    // The start of the series (its timer's work), run once: a command that
    // comes before the timer runs it first, so that the start cannot run
    // later inside the measuring screen and clear the result it measured.
    void RunStart();
    void ReloadQavResults(const std::vector<QavJournalRecord>& journal);
    void ReloadQodResults(const std::vector<QodJournalRecord>& journal);
    void CreateValueList();
    void FillValueList();
    void CreateScrollBar();
    void UpdateScrollRange();
    void RefreshList();
    void UpdateStepButtons();
    LRESULT OnListCustomDraw(NMLVCUSTOMDRAW* draw);
    void MeasurePosition();
    void OpenRecordData();
    void Step(int id);

    bool Disc() const { return m_params.deviceType == 4; }
    // The stored slot of the current position.
    int CurrentSlot() const;
    // After the walk moved: the position's names into the record, its slot's
    // result into the controller, the list, the step buttons and the value
    // list follow.
    void FollowPosition();

    HFONT m_listFont = nullptr;
    QavJournalRecord m_qav;
    QodJournalRecord m_qod;
    COwnerButton m_buttons[7];
    CSchemeView m_schemeView;
    CMeasureController* m_controller = nullptr;
    CScheme* m_scheme = nullptr;
    CLinkMonitor* m_linkMonitor = nullptr;
    CResultView m_results;
    CDiagramScroll m_scroll;  // the diagram's scroll range, position and bar
    CListViewCtl m_list;
    ResultRow* m_rows = nullptr;  // RESULT_TABLE_ROWS rows
    int m_rowCount = 0;
    bool m_started = false;
    CStatusImages m_statusImages;
};
