// The journal browser: the stored measurements of the current journal.
//
// List mode shows the records that pass the filter keys on the left and the
// results table of the selected record on the right; from there the operator
// deletes a record (the journal file is rewritten), narrows the list with the
// filter screen or resets the filter, and saves the selected wheel profile as
// a reference profile. Record mode puts the profile chart of the selected
// record in the list's place (the record view, JournalRecordView.cpp).
//
// Both record families are served, chosen by the device type of the settings
// read when the screen opens: wheel records (device types 1 to 3) or disc
// records (device type 4). Every record shown is evaluated again, with the
// head settings, tolerance set and reference profile of the current
// settings; the browser has calculators of its own and no measuring
// controller.
#pragma once

#include "journal/JournalFilterDlg.h"
#include "measurement/DiscCalc.h"
#include "measurement/ReferStore.h"
#include "measurement/WheelCalc.h"
#include "screens/ResultTable.h"
#include "screens/ResultView.h"
#include "settings/CatalogFiles.h"
#include "settings/DBJournal_Qav.h"
#include "settings/DBJournal_Qod.h"
#include "ui/ControlWrappers.h"
#include "ui/OwnerChart.h"
#include "ui/ScreenDlg.h"

// Colours of the browser's lists, chart and texts (COLORREF, 0x00BBGGRR).
constexpr COLORREF JOURNAL_BLACK = 0x000000;
constexpr COLORREF JOURNAL_WHITE = 0xFFFFFF;
constexpr COLORREF JOURNAL_BLUE = 0xFF0000;
constexpr COLORREF JOURNAL_GREEN = 0x009600;
constexpr COLORREF JOURNAL_RED = 0x0000FF;
constexpr COLORREF JOURNAL_ORANGE = 0x0080FF;
constexpr COLORREF JOURNAL_YELLOW = 0x00FFFF;
// The notice of a command that needs a selected record.
constexpr int JOURNAL_NO_RECORD_TEXT = 50016;
constexpr BYTE JOURNAL_DISC_DEVICE = 4;

class CJournalViewDlg : public CScreenDlg<CJournalViewDlg> {
public:
    static constexpr int kTemplateId = 326;
    static constexpr int kTitleTextId = 40003;
    static constexpr int kBackId = 330;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 0.0f;
    // The browser only reads the settings: an unreadable file leaves the copy
    // zeroed (a wheel journal without a name, so nothing is listed).
    static constexpr bool kDefaultsWhenUnread = false;

    // Screen buttons (array slots 0 to 5) and chart buttons (slots 0 to 3).
    static constexpr int kModeId = 331;
    static constexpr int kDeleteId = 332;
    static constexpr int kFilterId = 333;
    static constexpr int kFilterResetId = 334;
    static constexpr int kSaveReferId = 739;
    static constexpr int kZoomOutId = 510;
    static constexpr int kZoomInId = 509;
    static constexpr int kZoomResetId = 511;
    static constexpr int kViewId = 398;
    static constexpr int kRecordListId = 327;
    static constexpr int kResultListId = 328;
    static constexpr int kChartId = 639;
    // Posted at the opening when the loading has a notice for the operator.
    static constexpr UINT kLoadNoticeMessage = WM_APP + 41;

    // Deviation rows are sampled every 250 micrometres.
    static constexpr LONG kCompareStep = 250;

    CJournalViewDlg();
    ~CJournalViewDlg();

    // Runs the browser; always true once it ran (the back button and the
    // close box end it alike). `filter` is the program's filter screen, kept
    // between openings; without one the browser makes its own for each use.
    BOOL DoModal(HINSTANCE instance, HWND parent, CJournalFilterDlg* filter = nullptr);

    // ---- the pattern's hooks
    void OnInitDialog();
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& answer);
    void PaintContent(HDC dc);

    // ---- loading (before the dialog exists)
    void LoadQavJournal();
    void LoadQodJournal();

    // ---- list mode
    void CreateButtons();
    void CreateRecordList();
    // Lists the records that pass the filter; returns the row count.
    int FillRecordList();
    void CreateResultList();
    void FillResultList();
    // Enables the buttons by zoom level, row count and filter.
    void UpdateScaleButtons();
    // Deletes the record a list row shows, from the loaded records and from
    // the journal file: 0, or the text of why not, with both unchanged, or
    // read again where undoing a cut-off save changed the file under them.
    int DeleteRecord(int row);
    LRESULT DrawRecordItem(NMLVCUSTOMDRAW* draw);
    LRESULT DrawResultItem(NMLVCUSTOMDRAW* draw);

    // ---- the record view (JournalRecordView.cpp)
    void SetupQavChart();
    void SetupQodChart();
    // Evaluates and plots the record of a list row (nothing for a row
    // outside the list).
    void ShowQavRecord(int row);
    void ShowQodRecord(int row);
    void ShowRecord(int row);
    // No record shown: results, profile, deviation and chart series cleared.
    void ClearShownRecord();
    void ShowProfileView();
    void ShowDeviationView();
    void PlotQavSeries(int series, DWORD count, const ProfilePoint* points, bool reference);
    void PlotQavSeries2(DWORD count, const DeviationRow* rows);
    void PlotQodSeries(int series, DWORD count, const ProfilePoint* points, int side, bool reference);
    void ShowQodSeries();
    void PaintValues(HDC dc);
    void SaveAsReference();

    // ---- state, read by the tests
    bool IsDisc() const { return m_disc; }
    int Mode() const { return m_mode; }
    int ChartView() const { return m_view; }
    int SelectedRow() const { return m_selectedRow; }
    int ShownRow() const { return m_shownRow; }
    int RecordCount() const { return m_recordCount; }
    int RowCount() const { return m_rowCount; }
    DWORD RowRecord(int row) const { return row >= 0 && row < m_rowCount ? m_rowMap[row] : 0; }
    JournalFilterKeys& Keys() { return m_filterKeys; }
    const WheelResult& ShownResult() const { return m_result; }
    const WheelResult& ReferenceResult() const { return m_refResult; }
    const DiscResult& ShownDiscResult() const { return m_discResult; }
    DWORD ProfileCount() const { return m_count; }
    const ProfilePoint* Profile() const { return m_points; }
    DWORD ReferenceCount() const { return m_refCount; }
    DWORD DeviationCount() const { return m_deviationCount; }
    double MaxAbsDeviation() const { return m_maxAbsDeviation; }
    double PositiveArea() const { return m_positiveArea; }
    double NegativeArea() const { return m_negativeArea; }
    LONG BaseHeight() const { return m_baseHeight; }
    const LONG* Limits() const { return m_limits; }
    int TableRows() const { return m_tableCount; }

    COwnerChart m_chart;
    COwnerButton m_chartButtons[4];
    COwnerButton m_buttons[7];
    CListViewCtl m_recordList;
    CListViewCtl m_resultList;

private:
    template <class Record, class Journal>
    void LoadJournal(Journal& journal, Record*& records);
    template <class Set, class File>
    void LoadLimits(File& file, const WCHAR* setName);
    template <class Record>
    int FillList(const Record* records);
    template <class Record, class Journal>
    int DeleteFrom(Journal& journal, Record*& records, int row);
    void FreeRecords();
    // Loads the reference profile named by a settings or record field (an
    // empty name, or none of that name, leaves no reference).
    void LoadReference(const WCHAR* field, int deviceType);
    // Creates the chart window with the family's pens and markers.
    void CreateChart(const struct JournalSeriesStyle* styles);
    // The current journal's name (bounded copy of the settings field).
    void JournalName(WCHAR* name) const;
    // Selects the selected row again in the record list (never row -1).
    void Reselect();
    // The list's selection, which becomes the selected row; -1 after the
    // notice when there is none.
    int TakeSelection();
    // After the list changed: row 0 shown when there are rows, else nothing.
    void ShowFirstRow();
    void OnModeCommand();
    void OnDeleteCommand();
    void OnFilterCommand();
    void OnFilterReset();
    void OnZoom(int step);
    void OnViewCommand();
    void ApplyChartView();
    // Hands m_plotX / m_plotY (n points) to a chart series.
    void SetSeries(int series, int n, const double* y);

    bool m_disc = false;
    ResultUnits m_units{};
    CJournalFilterDlg* m_filter = nullptr;

    // The loaded records of the family (one of the two), and the row map:
    // entry r is the index of the record list row r shows.
    QavJournalRecord* m_qavRecords = nullptr;
    QodJournalRecord* m_qodRecords = nullptr;
    DWORD* m_rowMap = nullptr;
    int m_recordCount = 0;
    int m_rowCount = 0;
    // The notice the loading left for the opening: 0 none, 50066 the journal
    // could not be read, 50070 no current journal. Cleared once shown.
    int m_loadNotice = 0;
    // Set where a failed deletion read the journal again.
    bool m_readAgain = false;

    CDopuskQavFile m_qavTolerances;
    CDopuskQodFile m_qodTolerances;
    CDBJournalQav m_qavJournal;
    CDBJournalQod m_qodJournal;
    CWheelCalc m_wheelCalc;
    CDiscCalc m_discCalc;
    CResultView m_resultView;
    CReferStore m_referStore;

    // ---- record view state
    HeadSettings m_headSettings{};
    DiscSettings m_discSettings{};
    LONG m_limits[kWheelLimitCount] = {};  // a disc set uses the first 16
    DWORD m_refCount = 0;
    ProfilePoint m_refPoints[kMaxProfilePoints] = {};
    ProfileKeyPoints m_refKeys{};
    ProfileKeyPoints m_shownRefKeys{};  // the reference's key points as the shown record's evaluation left them
    WheelResult m_refResult{};
    DWORD m_count = 0;  // the shown record's profile (disc: side 1)
    ProfilePoint m_points[kMaxProfilePoints] = {};
    ProfileKeyPoints m_keys{};
    DWORD m_count2 = 0;  // disc side 2
    ProfilePoint m_points2[kMaxProfilePoints] = {};
    ProfileKeyPoints m_keys2{};
    WheelResult m_result{};
    DiscResult m_discResult{};
    DWORD m_deviationCount = 0;
    DeviationRow m_deviations[kMaxDeviationRows] = {};
    double m_minDeviation = 0, m_maxDeviation = 0, m_maxAbsDeviation = 0;
    double m_positiveArea = 0, m_negativeArea = 0;
    LONG m_baseHeight = 0;  // z of the disc reference's last point
    // What the shown record's sides are drawn against: the reference's base,
    // or without a reference the record's own (see screens/DiscChart.h).
    LONG m_recordBase = 0;
    // Room for one series on its way to the chart.
    double m_plotX[kMaxProfilePoints] = {};
    double m_plotY[kMaxProfilePoints] = {};
    double m_plotY2[kMaxProfilePoints] = {};

    ResultRow m_tableRows[RESULT_TABLE_ROWS] = {};
    int m_tableCount = 0;
    JournalFilterKeys m_filterKeys{};
    int m_mode = 0;          // 0 list mode, 1 record mode
    int m_view = 1;          // 1 profile view, 0 deviation view
    int m_selectedRow = -1;  // the list row of the shown record, -1 none
    int m_shownRow = -1;     // the row the record view was last computed for
};
