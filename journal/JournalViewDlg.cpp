#include "journal/JournalViewDlg.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/WinText.h"
#include "settings/DeviceSetup.h"
#include "ui/BusyAnimation.h"
#include "ui/KeyboardDlg.h"

namespace {


enum : int {
    kTextUnitsHeader = 40601,
    kTextReferenceHeader = 40602,
    kTextVerdictPass = 40628,
    kTextVerdictFail = 40629,
    kTextJournal = 40630,
    kTextRecords = 40631,
    kTextRight = 40510,
    kTextLeft = 40511,
    kTextMiddle = 40513,
    kTextDeleteQuestion = 50017,
    kTextJournalUnreadable = 50066,
    kTextNoJournal = 50070,
};

// Buttons: id, place, faces.
struct ButtonPlace {
    int id, x, y, normal, pressed, disabled;
};
constexpr ButtonPlace kScreenButtons[6] = {
    {CJournalViewDlg::kBackId, 435, 7, 173, 174, 0},       {CJournalViewDlg::kModeId, 315, 50, 335, 336, 337},
    {CJournalViewDlg::kDeleteId, 315, 232, 278, 279, 280}, {CJournalViewDlg::kFilterId, 356, 232, 654, 653, 652},
    {CJournalViewDlg::kFilterResetId, 397, 232, 651, 650, 649},
    {CJournalViewDlg::kSaveReferId, 438, 232, 738, 737, 736},
};
constexpr ButtonPlace kChartButtons[4] = {
    {CJournalViewDlg::kZoomOutId, 10, 50, 648, 647, 646},
    {CJournalViewDlg::kZoomInId, 50, 50, 642, 641, 640},
    {CJournalViewDlg::kZoomResetId, 90, 50, 645, 644, 643},
    {CJournalViewDlg::kViewId, 130, 50, 703, 704, 0},
};
// The list-mode buttons (slots of the screen array) hidden in record mode.
constexpr int kListSlots[4] = {2, 3, 4, 5};

// The record list's columns: header text id, width.
struct ListColumn {
    int text, width;
};
constexpr ListColumn kRecordColumns[6] = {{40501, 64}, {40505, 50}, {40512, 62}, {40507, 37}, {0, 35}, {40502, 90}};

// The results table and its painted header. Both end at the screen's right
// edge, and the columns leave room for a scroll bar, so no column is cut off
// and no sideways scrolling is needed.
constexpr RECT kResultPlace = {314, 107, 479, 107 + 120};
constexpr RECT kResultHeader = {314, 87, 479, 108};
constexpr int kWheelResultColumns[4] = {28, 50, 46, 26};
constexpr int kDiscResultColumns[3] = {38, 66, 46};

// A record field as a terminated text (the field may be full without one).
template <size_t N>
std::u16string Field(const WCHAR (&field)[N])
{
    return qplat::FieldText(field, N);
}

}  // namespace

CJournalViewDlg::CJournalViewDlg() : CScreenDlg(14, FW_NORMAL)
{
    ResetFilterKeys(&m_filterKeys);
}

CJournalViewDlg::~CJournalViewDlg()
{
    FreeRecords();
}

void CJournalViewDlg::FreeRecords()
{
    delete[] m_qavRecords;
    delete[] m_qodRecords;
    delete[] m_rowMap;
    m_qavRecords = nullptr;
    m_qodRecords = nullptr;
    m_rowMap = nullptr;
    m_recordCount = 0;
    m_rowCount = 0;
}

BOOL CJournalViewDlg::DoModal(HINSTANCE instance, HWND parent, CJournalFilterDlg* filter)
{
    BeginModal(instance, parent);
    m_filter = filter;
    m_disc = m_params.deviceType == JOURNAL_DISC_DEVICE;
    if (m_disc)
        LoadQodJournal();
    else
        LoadQavJournal();
    return Answered(RunTemplate());
}

void CJournalViewDlg::JournalName(WCHAR* name) const
{
    const WCHAR* field = m_disc ? m_params.qodJournalName : m_params.qavJournalName;
    const size_t n = wcsnlen(field, PARAM_NAME_CHARS);
    std::memcpy(name, field, n * sizeof(WCHAR));
    name[n] = 0;
}

// ---------------------------------------------------------------- loading

template <class Record, class Journal>
void CJournalViewDlg::LoadJournal(Journal& journal, Record*& records)
{
    FreeRecords();
    m_loadNotice = 0;
    WCHAR name[PARAM_NAME_CHARS + 1];
    JournalName(name);
    // Without a current journal there is nothing to list, and no file is
    // made for it: the operator is told where to choose one.
    if (name[0] == 0) {
        m_loadNotice = kTextNoJournal;
        return;
    }
    // A save cut off half-way is undone before the journal is read, so none
    // of it is listed as stored; where it cannot be, the operator is told.
    if (!journal.RollBackCutOff(name))
        m_loadNotice = JournalRefusalText(journal.LastRefusal(), SCREEN_CUT_OFF_SAVE_STUCK);
    // A missing journal is made empty here and lists nothing, silently; one
    // that cannot be opened counts -1 and is not taken for an empty one.
    const int n = journal.GetCount(name);
    if (n == 0) return;
    if (n > 0) {
        records = new (std::nothrow) Record[static_cast<size_t>(n)];
        m_rowMap = new (std::nothrow) DWORD[static_cast<size_t>(n)]();
        // What was not read is not shown, and so can never be written back
        // by a deletion; a journal that does not fit in memory is not read.
        if (records && m_rowMap && journal.ReadAll(name, records, n)) {
            m_recordCount = m_rowCount = n;
            return;
        }
    }
    AppendDiagnosticLog("Journal browser: the journal could not be read");
    FreeRecords();
    m_loadNotice = kTextJournalUnreadable;
}

template <class Set, class File>
void CJournalViewDlg::LoadLimits(File& file, const WCHAR* setName)
{
    // A set the catalogue does not hold grades nothing: all limits 0.
    std::memset(m_limits, 0, sizeof m_limits);
    const int m = file.GetCount();
    if (m <= 0) return;
    std::unique_ptr<Set[]> sets(new (std::nothrow) Set[static_cast<size_t>(m)]);
    if (!sets || !file.ReadAll(sets.get(), m)) return;
    for (int i = 0; i < m; ++i)
        if (wcsncmp(sets[i].name, setName, PARAM_NAME_CHARS) == 0) {
            file.CopyRecord(m_limits, sets[i]);
            return;
        }
}

void CJournalViewDlg::LoadReference(const WCHAR* field, int deviceType)
{
    m_refCount = 0;
    std::memset(m_refPoints, 0, sizeof m_refPoints);
    const std::u16string name = qplat::FieldText(field, PARAM_NAME_CHARS);
    if (!name.empty()) m_referStore.Load(name.c_str(), m_refPoints, &m_refCount, deviceType);
    if (m_refCount > kMaxProfilePoints) m_refCount = kMaxProfilePoints;
}

void CJournalViewDlg::LoadQavJournal()
{
    StartBusyAnimation(m_hInstance, m_hParent, 0, 0);
    LoadJournal(m_qavJournal, m_qavRecords);
    LoadLimits<DopuskQavRecord>(m_qavTolerances, m_params.qavToleranceName);
    m_paramFile.WheelCalcSettingsFromBlock(&m_headSettings, m_params);
    // The reference is loaded once and kept for every record shown; without
    // one the reference blocks stay empty.
    m_refKeys = ProfileKeyPoints{};
    m_refResult = WheelResult{};
    LoadReference(m_params.qavReferName, 1);
    if (m_refCount > 0)
        m_wheelCalc.Evaluate(m_refCount, m_refPoints, &m_refKeys, 0, nullptr, nullptr, m_headSettings, &m_refResult,
                             1);
    m_units = UnitsOf(m_params.unitSystem);
    StopBusyAnimation();
}

void CJournalViewDlg::LoadQodJournal()
{
    StartBusyAnimation(m_hInstance, m_hParent, 0, 0);
    LoadJournal(m_qodJournal, m_qodRecords);
    LoadLimits<DopuskQodRecord>(m_qodTolerances, m_params.qodToleranceName);
    m_paramFile.DiskCalcSettingsFromBlock(&m_discSettings, m_params);
    LoadReference(m_params.qodReferName, JOURNAL_DISC_DEVICE);
    LONG last = 0;
    m_discCalc.FindMinima(m_refCount, m_refPoints, nullptr, nullptr, nullptr, &last);
    m_baseHeight = last;
    m_units = UnitsOf(m_params.unitSystem);
    StopBusyAnimation();
}

// ---------------------------------------------------------------- opening

void CJournalViewDlg::OnInitDialog()
{
    m_mode = 0;
    m_view = 1;
    // The filter does not outlive the screen.
    ResetFilterKeys(&m_filterKeys);
    CreateButtons();
    CreateRecordList();
    if (m_disc)
        SetupQodChart();
    else
        SetupQavChart();
    ShowFirstRow();
    CreateResultList();
    FillResultList();
    UpdateScaleButtons();
    // The notice of the loading is shown over the opened screen, so the
    // empty list it explains is seen behind it.
    if (m_loadNotice != 0) PostMessageW(m_hWnd, kLoadNoticeMessage, 0, 0);
}

void CJournalViewDlg::CreateButtons()
{
    AddButtons(m_buttons, 7);
    AddButtons(m_chartButtons, 4);
    for (int i = 0; i < 6; ++i) {
        const ButtonPlace& b = kScreenButtons[i];
        if (b.id == kSaveReferId && m_disc) continue;
        m_buttons[i].Create(m_hWnd, m_hInstance, b.x, b.y, 0, 0, b.id, b.normal, b.pressed, b.disabled);
    }
    for (int i = 0; i < 4; ++i) {
        const ButtonPlace& b = kChartButtons[i];
        if (b.id == kViewId && m_disc) continue;
        m_chartButtons[i].Create(m_hWnd, m_hInstance, b.x, b.y, 0, 0, b.id, b.normal, b.pressed, b.disabled);
        m_chartButtons[i].Show(SW_HIDE);
    }
}

void CJournalViewDlg::CreateRecordList()
{
    m_recordList.Create(m_hWnd, m_hInstance, kRecordListId, 5, 87, 308, 180, TRUE, TRUE);
    m_recordList.SetFont(m_font);
    for (int c = 0; c < 6; ++c) {
        std::u16string title;
        if (kRecordColumns[c].text != 0) {
            title = m_language.GetText(kRecordColumns[c].text);
        } else {
            title = m_language.GetText(kTextRight);
            title += u"/";
            title += m_language.GetText(kTextLeft);
        }
        m_recordList.InsertColumn(c, title.c_str(), LVCFMT_LEFT, kRecordColumns[c].width, c);
    }
    FillRecordList();
}

template <class Record>
int CJournalViewDlg::FillList(const Record* records)
{
    m_recordList.DeleteAllItems();
    if (m_rowMap) std::memset(m_rowMap, 0, sizeof(DWORD) * static_cast<size_t>(m_recordCount));
    // The side texts of the family, looked up once (the table's buffer is shared).
    const std::u16string left = m_language.GetText(kTextLeft);
    const std::u16string right = m_language.GetText(kTextRight);
    const std::u16string middle = m_language.GetText(kTextMiddle);
    int r = 0;
    for (int i = 0; i < m_recordCount && records; ++i) {
        const Record& rec = records[i];
        if (!MatchesFilter(m_filterKeys, rec)) continue;
        m_recordList.InsertItem(r, Field(rec.date).c_str());
        m_recordList.SetItemText(r, 1, Field(rec.carName).c_str());
        m_recordList.SetItemText(r, 2, Field(rec.carNumber).c_str());
        m_recordList.SetItemText(r, 3, Field(rec.axleName).c_str());
        const std::u16string side = Field(rec.side);
        const std::u16string& sideText = side == u"0" ? left : (m_disc && side == u"2") ? middle : right;
        m_recordList.SetItemText(r, 4, sideText.c_str());
        m_recordList.SetItemText(r, 5, Field(rec.wheelName).c_str());
        m_rowMap[r] = static_cast<DWORD>(i);
        ++r;
    }
    m_rowCount = r;
    return r;
}

int CJournalViewDlg::FillRecordList()
{
    m_shownRow = -1;
    return m_disc ? FillList(m_qodRecords) : FillList(m_qavRecords);
}

void CJournalViewDlg::CreateResultList()
{
    m_resultList.Create(m_hWnd, m_hInstance, kResultListId, kResultPlace.left, kResultPlace.top,
                        kResultPlace.right - kResultPlace.left, kResultPlace.bottom - kResultPlace.top, FALSE, TRUE);
    m_resultList.SetTextColor(JOURNAL_BLACK);
    m_resultList.SetFont(m_font);
    if (m_disc) {
        m_resultList.InsertColumn(0, u"", LVCFMT_LEFT, kDiscResultColumns[0], 0);
        m_resultList.InsertColumn(1, m_language.GetText(kTextUnitsHeader), LVCFMT_LEFT, kDiscResultColumns[1], 1);
        m_resultList.InsertColumn(2, u"", LVCFMT_LEFT, kDiscResultColumns[2], 2);
    } else {
        m_resultList.InsertColumn(0, u"", LVCFMT_LEFT, kWheelResultColumns[0], 0);
        m_resultList.InsertColumn(1, m_language.GetText(kTextUnitsHeader), LVCFMT_LEFT, kWheelResultColumns[1], 1);
        m_resultList.InsertColumn(2, m_language.GetText(kTextReferenceHeader), LVCFMT_LEFT, kWheelResultColumns[2],
                                  2);
        m_resultList.InsertColumn(3, u"", LVCFMT_LEFT, kWheelResultColumns[3], 3);
    }
}

void CJournalViewDlg::FillResultList()
{
    BYTE k = 0;
    // Rows only for a record being shown: an empty list shows no values of
    // no record.
    if (m_shownRow >= 0) {
        if (m_disc)
            m_resultView.BuildDiscTable(m_discResult, 0, m_tableRows, RESULT_TABLE_ROWS, &k, 0);
        else
            m_resultView.BuildWheelTable(m_result, m_refResult, 0, m_tableRows, RESULT_TABLE_ROWS, &k, 1);
    }
    m_tableCount = k;
    m_resultList.DeleteAllItems();
    const std::u16string pass = m_language.GetText(kTextVerdictPass);
    const std::u16string fail = m_language.GetText(kTextVerdictFail);
    for (int j = 0; j < m_tableCount; ++j) {
        const ResultRow& row = m_tableRows[j];
        m_resultList.InsertItem(j, qplat::FieldText(row.name, RESULT_NAME_CHARS).c_str());
        WCHAR text[RESULT_VALUE_CHARS];
        FormatRowValue(text, RESULT_VALUE_CHARS, row, pass.c_str(), fail.c_str());
        m_resultList.SetItemText(j, 1, text);
        const std::u16string units = qplat::FieldText(row.units, RESULT_UNITS_CHARS);
        if (m_disc) {
            m_resultList.SetItemText(j, 2, units.c_str());
        } else {
            // Without a reference profile the reference block is empty: its
            // zeros are no reference values and would read as measured ones.
            text[0] = 0;
            if (m_refCount > 0) {
                const std::u16string format = qplat::FieldText(row.format, RESULT_FORMAT_CHARS);
                swprintf(text, RESULT_VALUE_CHARS, format.c_str(), static_cast<double>(row.valueB));
            }
            m_resultList.SetItemText(j, 2, text);
            m_resultList.SetItemText(j, 3, units.c_str());
        }
    }
    // As high as its rows (in the list's own row height), at most to the
    // buttons below it.
    RECT item{LVIR_BOUNDS, 0, 0, 0};
    int rowHeight = 16;
    if (m_tableCount > 0 && SendMessageW(m_resultList.m_hWnd, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item)))
        rowHeight = item.bottom - item.top;
    RECT window{}, client{};
    GetWindowRect(m_resultList.m_hWnd, &window);
    GetClientRect(m_resultList.m_hWnd, &client);
    const int frame = (window.bottom - window.top) - client.bottom;
    const int maxHeight = kResultPlace.bottom - kResultPlace.top;
    int height = m_tableCount > 0 ? rowHeight * m_tableCount + frame : 0;
    if (height > maxHeight) height = maxHeight;
    m_resultList.Move(kResultPlace.left, kResultPlace.top, kResultPlace.right - kResultPlace.left, height);
}

void CJournalViewDlg::UpdateScaleButtons()
{
    const unsigned zoom = m_chart.m_xZoom;
    m_chartButtons[0].Enable(zoom > 1);
    m_chartButtons[1].Enable(zoom < CHART_MAX_ZOOM);
    m_chartButtons[2].Enable(zoom > 1);
    const BOOL rows = m_rowCount != 0;
    m_buttons[1].Enable(rows);
    m_buttons[2].Enable(rows);
    m_buttons[3].Enable(rows);
    m_buttons[5].Enable(rows);
    m_buttons[4].Enable(FilterIsSet(m_filterKeys));
}

void CJournalViewDlg::Reselect()
{
    if (m_selectedRow >= 0 && m_selectedRow < m_rowCount) m_recordList.SelectItem(m_selectedRow);
}

void CJournalViewDlg::ShowFirstRow()
{
    if (m_rowCount > 0) {
        m_selectedRow = 0;
        ShowRecord(0);
    } else {
        m_selectedRow = -1;
        ClearShownRecord();
    }
}

// ---------------------------------------------------------------- deleting

template <class Record, class Journal>
int CJournalViewDlg::DeleteFrom(Journal& journal, Record*& records, int row)
{
    if (!records || row < 0 || row >= m_rowCount) return SCREEN_SAVE_FAILED;
    const int i = static_cast<int>(m_rowMap[row]);
    if (i < 0 || i >= m_recordCount) return SCREEN_SAVE_FAILED;
    // The journal less the record, written only while the card still holds
    // the records shown: a journal changed meanwhile (a PC, another card, a
    // save undone) keeps every byte.
    std::unique_ptr<Record[]> kept(new (std::nothrow) Record[static_cast<size_t>(m_recordCount)]);
    if (!kept) return SCREEN_SAVE_FAILED;
    std::copy(records, records + i, kept.get());
    std::copy(records + i + 1, records + m_recordCount, kept.get() + i);
    WCHAR name[PARAM_NAME_CHARS + 1];
    JournalName(name);
    if (!journal.WriteAll(name, kept.get(), m_recordCount - 1, records, m_recordCount)) {
        const CFixedRecordFile::Refusal refusal = journal.LastRefusal();
        if (refusal == CFixedRecordFile::Refusal::RecordChanged) {
            // What the card holds now is shown instead.
            LoadJournal(journal, records);
            m_loadNotice = 0;
            m_readAgain = true;
            return SCREEN_JOURNAL_CHANGED;
        }
        return JournalRefusalText(refusal, SCREEN_SAVE_FAILED);
    }
    std::copy(kept.get(), kept.get() + m_recordCount - 1, records);
    --m_recordCount;
    m_recordList.DeleteItem(row);
    return 0;
}

int CJournalViewDlg::DeleteRecord(int row)
{
    return m_disc ? DeleteFrom(m_qodJournal, m_qodRecords, row) : DeleteFrom(m_qavJournal, m_qavRecords, row);
}

// ---------------------------------------------------------------- commands

bool CJournalViewDlg::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    switch (id) {
    case kModeId: OnModeCommand(); break;
    case kDeleteId:
        if (m_mode != 0) return false;
        OnDeleteCommand();
        break;
    case kFilterId:
        if (m_mode != 0) return false;
        OnFilterCommand();
        break;
    case kFilterResetId:
        if (m_mode != 0) return false;
        OnFilterReset();
        break;
    case kSaveReferId:
        if (m_mode != 0 || m_disc) return false;
        SaveAsReference();
        break;
    case kZoomInId:
    case kZoomOutId:
    case kZoomResetId:
        if (m_mode != 1) return false;
        OnZoom(id == kZoomInId ? 1 : (id == kZoomOutId ? -1 : 0));
        break;
    case kViewId:
        if (m_mode != 1 || m_disc) return false;
        OnViewCommand();
        break;
    default: return false;
    }
    answer = TRUE;
    return true;
}

void CJournalViewDlg::OnModeCommand()
{
    if (m_mode == 0) {
        const int selected = m_recordList.GetSelected();
        if (selected == -1) {
            ShowMessage(MESSAGE_NOTICE, JOURNAL_NO_RECORD_TEXT);
            return;
        }
        m_selectedRow = selected;
        StartBusyAnimation(m_hInstance, m_recordList.m_hWnd, 0, 0);
        // The chart is the selected record's, whatever was shown last.
        if (m_shownRow != selected) {
            ShowRecord(selected);
            FillResultList();
        }
        m_mode = 1;
        m_buttons[1].Attach(m_hWnd, m_hInstance, kModeId, 338, 339, 340);
        for (int slot : kListSlots) m_buttons[slot].Show(SW_HIDE);
        m_recordList.Show(SW_HIDE);
        m_chart.Show(SW_SHOW, TRUE);
        for (COwnerButton& b : m_chartButtons) b.Show(SW_SHOW);
        Reselect();
        StopBusyAnimation();
    } else {
        m_mode = 0;
        m_buttons[1].Attach(m_hWnd, m_hInstance, kModeId, 335, 336, 337);
        for (int slot : kListSlots) m_buttons[slot].Show(SW_SHOW);
        m_chart.Show(SW_HIDE, FALSE);
        for (COwnerButton& b : m_chartButtons) b.Show(SW_HIDE);
        m_recordList.Show(SW_SHOW);
    }
    UpdateScaleButtons();
    const RECT lines{10, 50, 318, 80};
    InvalidateRect(m_hWnd, &lines, FALSE);
    if (m_buttons[1].m_hWnd) InvalidateRect(m_buttons[1].m_hWnd, nullptr, FALSE);
}

int CJournalViewDlg::TakeSelection()
{
    const int selected = m_recordList.GetSelected();
    if (selected == -1) {
        ShowMessage(MESSAGE_NOTICE, JOURNAL_NO_RECORD_TEXT);
        Reselect();
        return -1;
    }
    m_selectedRow = selected;
    return selected;
}

void CJournalViewDlg::OnDeleteCommand()
{
    const int selected = TakeSelection();
    if (selected == -1) return;
    if (ShowMessage(MESSAGE_QUESTION, kTextDeleteQuestion) == 1) {
        m_readAgain = false;
        const int failure = DeleteRecord(selected);
        // A failed deletion keeps the record in the file and in the list,
        // unless the records were read again.
        if (failure == 0 || m_readAgain) {
            FillRecordList();
            ShowFirstRow();
            FillResultList();
        }
        if (failure != 0) ShowMessage(MESSAGE_FAILURE, failure);
        UpdateScaleButtons();
        InvalidateRect(m_hWnd, nullptr, FALSE);
    }
    Reselect();
}

void CJournalViewDlg::OnFilterCommand()
{
    std::unique_ptr<CJournalFilterDlg> own;
    CJournalFilterDlg* filter = m_filter;
    if (!filter) {
        own.reset(new (std::nothrow) CJournalFilterDlg());
        filter = own.get();
    }
    if (filter && filter->DoModal(m_hInstance, m_hWnd, &m_filterKeys)) {
        FillRecordList();
        ShowFirstRow();
        FillResultList();
        InvalidateRect(m_hWnd, nullptr, FALSE);
    } else {
        Reselect();
    }
    UpdateScaleButtons();
}

void CJournalViewDlg::OnFilterReset()
{
    ResetFilterKeys(&m_filterKeys);
    FillRecordList();
    ShowFirstRow();
    FillResultList();
    UpdateScaleButtons();
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CJournalViewDlg::OnZoom(int step)
{
    StartBusyAnimation(m_hInstance, m_chart.m_hWnd, 0, 0);
    m_chart.ZoomIn(step, FALSE);
    m_chart.ZoomOut(step, TRUE);
    UpdateScaleButtons();
    StopBusyAnimation();
}

// ---------------------------------------------------------------- messages

bool CJournalViewDlg::OnMessage(UINT msg, WPARAM, LPARAM lParam, INT_PTR& answer)
{
    if (msg == kLoadNoticeMessage) {
        const int notice = m_loadNotice;
        m_loadNotice = 0;
        // A journal not chosen yet is a notice, one that cannot be read a failure.
        if (notice != 0) ShowMessage(notice == kTextNoJournal ? MESSAGE_NOTICE : MESSAGE_FAILURE, notice);
        answer = TRUE;
        return true;
    }
    if (msg != WM_NOTIFY || lParam == 0) return false;
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->code == static_cast<UINT>(NM_CUSTOMDRAW) &&
        (header->hwndFrom == m_recordList.m_hWnd || header->hwndFrom == m_resultList.m_hWnd)) {
        auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
        const LRESULT result =
            header->hwndFrom == m_recordList.m_hWnd ? DrawRecordItem(draw) : DrawResultItem(draw);
        SetWindowLongW(m_hWnd, DWL_MSGRESULT, static_cast<LONG>(result));
        answer = TRUE;
        return true;
    }
    if (header->hwndFrom == m_recordList.m_hWnd && header->code == static_cast<UINT>(NM_CLICK)) {
        m_selectedRow = m_recordList.GetSelected();
        // A tap on an empty row leaves none selected: the table then shows no
        // record's values, as the chart button finds no record.
        if (m_selectedRow != -1)
            ShowRecord(m_selectedRow);
        else
            ClearShownRecord();
        FillResultList();
        answer = TRUE;
        return true;
    }
    if (header->hwndFrom == m_resultList.m_hWnd && header->code == static_cast<UINT>(LVN_ITEMCHANGED)) {
        Reselect();
        answer = TRUE;
        return true;
    }
    return false;
}

LRESULT CJournalViewDlg::DrawRecordItem(NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const int column = draw->iSubItem;
        // A column narrowed by the filter is marked yellow.
        draw->clrTextBk = column < JOURNAL_FILTER_KEYS && !FilterKeyIsAny(m_filterKeys, column) ? JOURNAL_YELLOW : JOURNAL_WHITE;
        return column < JOURNAL_FILTER_KEYS ? CDRF_NEWFONT : CDRF_DODEFAULT;
    }
    default: return CDRF_DODEFAULT;
    }
}

LRESULT CJournalViewDlg::DrawResultItem(NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const int row = static_cast<int>(draw->nmcd.dwItemSpec);
        const BYTE status = row >= 0 && row < m_tableCount ? m_tableRows[row].status : 0;
        draw->clrText = JOURNAL_BLACK;
        draw->clrTextBk = JOURNAL_WHITE;
        if (draw->iSubItem == 1) {
            if (status == 2) {
                draw->clrText = JOURNAL_WHITE;
                draw->clrTextBk = JOURNAL_RED;
            } else if (status == 1) {
                draw->clrText = JOURNAL_WHITE;
                draw->clrTextBk = JOURNAL_ORANGE;
            } else {
                draw->clrText = JOURNAL_BLUE;
            }
        } else if (draw->iSubItem == 2) {
            // The reference value of a wheel row, the unit of a disc row.
            draw->clrText = JOURNAL_GREEN;
        }
        return CDRF_NEWFONT;
    }
    default: return CDRF_DODEFAULT;
    }
}

// ---------------------------------------------------------------- painting

void CJournalViewDlg::PaintContent(HDC dc)
{
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    Rectangle(dc, kResultHeader.left, kResultHeader.top, kResultHeader.right, kResultHeader.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    if (m_disc) {
        m_paint.DrawCaption(m_hWnd, dc, kResultHeader.left, 90, kResultHeader.right - kResultHeader.left,
                            m_language.GetText(kTextUnitsHeader), 14, 6, JOURNAL_BLUE, FALSE, TRUE, 0);
    } else {
        m_paint.DrawCaption(m_hWnd, dc, 324, 90, 0, m_language.GetText(kTextUnitsHeader), 14, 6, JOURNAL_BLUE, FALSE, TRUE,
                            0);
        m_paint.DrawCaption(m_hWnd, dc, 404, 90, 0, u"/", 14, 6, JOURNAL_BLACK, FALSE, TRUE, 0);
        m_paint.DrawCaption(m_hWnd, dc, 412, 90, 0, m_language.GetText(kTextReferenceHeader), 14, 6, JOURNAL_GREEN, FALSE,
                            TRUE, 0);
    }
    if (m_mode == 0) {
        WCHAR name[PARAM_NAME_CHARS + 1];
        JournalName(name);
        WCHAR count[16];
        swprintf(count, 16, u"%d", m_rowCount);
        m_paint.DrawCaption(m_hWnd, dc, 10, 50, 0, m_language.GetText(kTextJournal), 14, 6, JOURNAL_BLACK, FALSE, TRUE, 0);
        m_paint.DrawCaption(m_hWnd, dc, 130, 50, 0, u":", 14, 6, JOURNAL_BLACK, FALSE, TRUE, 0);
        m_paint.DrawCaption(m_hWnd, dc, 135, 50, 0, name, 14, 6, JOURNAL_GREEN, TRUE, TRUE, 0);
        m_paint.DrawCaption(m_hWnd, dc, 10, 67, 0, m_language.GetText(kTextRecords), 14, 6, JOURNAL_BLACK, FALSE, TRUE, 0);
        m_paint.DrawCaption(m_hWnd, dc, 130, 67, 0, u":", 14, 6, JOURNAL_BLACK, FALSE, TRUE, 0);
        m_paint.DrawCaption(m_hWnd, dc, 135, 67, 0, count, 14, 6, JOURNAL_GREEN, TRUE, TRUE, 0);
    } else if (m_view == 0 && !m_disc) {
        PaintValues(dc);
    }
}
