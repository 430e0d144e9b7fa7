#include "screens/SeriesDlg.h"

#include <cstring>
#include <memory>
#include <new>

#include "platform/WinText.h"
#include "screens/MeasureDlg.h"
#include "screens/MeasuringScreens.h"
#include "screens/RecordInfoDlg.h"
#include "ui/BusyAnimation.h"

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr int kTextMeasure = 50114;
constexpr int kTextMeasured = 40601;
constexpr int kTextZeroFailed = 50051;
constexpr int kTextJournalUnreadable = 50066;
constexpr int kTextSettingsUnreadable = 50072;

// The record panel and the arguments of its drawing.
constexpr int kPanelX = 3, kPanelY = 50, kPanelFontWidth = 6, kPanelFontHeight = 14, kPanelLineStep = 13;

struct ButtonPlace {
    int id, x, y, w, h, normal, pressed, disabled;
};
constexpr ButtonPlace kStepPlaces[4] = {
    {CSeriesDlg::kPrevPositionId, 384, 170, 41, 41, 616, 617, 618},
    {CSeriesDlg::kNextPositionId, 434, 170, 41, 41, 610, 611, 612},
    {CSeriesDlg::kPrevCarId, 384, 220, 41, 41, 613, 614, 615},
    {CSeriesDlg::kNextCarId, 434, 220, 41, 41, 607, 608, 609},
};

// The measure button of each device type (1 to 4).
constexpr ButtonPlace kMeasurePlaces[4] = {
    {CSeriesDlg::kMeasureId, 384, 52, 90, 111, 693, 692, 691},
    {CSeriesDlg::kMeasureQunId, 384, 52, 90, 0, 690, 689, 688},
    {CSeriesDlg::kMeasureQemId, 384, 52, 90, 0, 687, 686, 685},
    {CSeriesDlg::kMeasureId, 384, 52, 90, 111, 763, 764, 765},
};

// Value-list columns: no header is shown.
constexpr int kColumnWidths[3] = {30, 56, 36};
constexpr int kListX = 235, kListY = 48, kListWidth = 143, kListHeight = 97;

// Page steps of one refresh are bounded by what the widest car can need.
constexpr int kMaxPageSteps = (SCHEME_MAX_AXLES * 48 + 23) / CSeriesDlg::kPageStep + 2;

}  // namespace

CSeriesDlg::CSeriesDlg()
{
    std::memset(&m_qav, 0, sizeof m_qav);
    std::memset(&m_qod, 0, sizeof m_qod);
    m_listFont = m_paint.MakeFont(u"Calibri", 14, 6, FW_NORMAL, 0);
    // Every row the table can build (the switches may ask for more than 22).
    m_rows = new (std::nothrow) ResultRow[RESULT_TABLE_ROWS]();
}

CSeriesDlg::~CSeriesDlg()
{
    if (m_listFont) DeleteObject(m_listFont);
    delete[] m_rows;
}

bool CSeriesDlg::Prepare(HINSTANCE instance, HWND parent, CMeasureController* controller, QavJournalRecord* qav,
                         QodJournalRecord* qod, CScheme* scheme, CLinkMonitor* linkMonitor)
{
    BeginModal(instance, parent);
    const bool disc = Disc();
    if (!m_rows || !controller || !scheme || !linkMonitor || (disc ? qod == nullptr : qav == nullptr)) {
        CancelModal();
        return false;
    }
    if (disc)
        m_qod = *qod;
    else
        m_qav = *qav;
    m_controller = controller;
    m_scheme = scheme;
    m_linkMonitor = linkMonitor;
    return true;
}

BOOL CSeriesDlg::DoModal(HINSTANCE instance, HWND parent, CMeasureController* controller, QavJournalRecord* qav,
                         QodJournalRecord* qod, CScheme* scheme, CLinkMonitor* linkMonitor)
{
    if (!Prepare(instance, parent, controller, qav, qod, scheme, linkMonitor)) return FALSE;
    return Answered(RunTemplate());
}

void CSeriesDlg::OnLoadSettings()
{
    m_statusImages.Load(m_hInstance);
}

LPCWSTR CSeriesDlg::TitleText()
{
    return m_language.GetText(MeasuringTitleId(m_params.deviceType));
}

// ---------------------------------------------------------------- controls

void CSeriesDlg::OnInitDialog()
{
    CreateControls();
    SetTimer(m_hWnd, kStatusTimer, kStatusMs, nullptr);
    SetTimer(m_hWnd, kStartTimer, kStartDelayMs, nullptr);
}

void CSeriesDlg::CreateControls()
{
    AddButtons(m_buttons, 7);
    CreateBackButton(m_buttons[kSlotBack]);
    const int type = m_params.deviceType >= 1 && m_params.deviceType <= 4 ? m_params.deviceType : 1;
    const ButtonPlace& m = kMeasurePlaces[type - 1];
    COwnerButton& measure = m_buttons[kSlotMeasure];
    measure.Create(m_hWnd, m_hInstance, m.x, m.y, m.w, m.h, m.id, m.normal, m.pressed, m.disabled);
    measure.SetCaption(m_language.GetText(kTextMeasure), kWhite, FALSE, TRUE, FALSE, 0, 0);
    m_buttons[kSlotRecordData].Create(m_hWnd, m_hInstance, 193, 52, 41, 41, kRecordDataId, 273, 274, 0);
    for (int i = 0; i < 4; ++i) {
        const ButtonPlace& p = kStepPlaces[i];
        m_buttons[kSlotPrevPosition + i].Create(m_hWnd, m_hInstance, p.x, p.y, p.w, p.h, p.id, p.normal, p.pressed,
                                                p.disabled);
    }
}

void CSeriesDlg::CreateValueList()
{
    if (!m_list.m_hWnd) {
        m_list.Create(m_hWnd, m_hInstance, kValueListId, kListX, kListY, kListWidth, kListHeight, FALSE, FALSE);
        m_list.SetTextColor(0x000000);
        m_list.SetFont(m_listFont);
        m_list.InsertColumn(0, u"", LVCFMT_LEFT, kColumnWidths[0], 0);
        m_list.InsertColumn(1, m_language.GetText(kTextMeasured), LVCFMT_LEFT, kColumnWidths[1], 1);
        m_list.InsertColumn(2, u"", LVCFMT_LEFT, kColumnWidths[2], 2);
    }
    FillValueList();
}

void CSeriesDlg::FillValueList()
{
    BYTE count = 0;
    if (Disc())
        m_results.BuildDiscTable(m_controller->m_discResult, 0, m_rows, RESULT_TABLE_ROWS, &count, 0);
    else
        m_results.BuildWheelTable(m_controller->m_result, m_controller->m_result, 0, m_rows, RESULT_TABLE_ROWS,
                                  &count, 0);
    m_rowCount = count > RESULT_TABLE_ROWS ? RESULT_TABLE_ROWS : count;
    WCHAR pass[RESULT_VALUE_CHARS] = {};
    WCHAR fail[RESULT_VALUE_CHARS] = {};
    qplat::CopyField(pass, RESULT_VALUE_CHARS, m_language.GetText(TEXT_VERDICT_PASS));
    qplat::CopyField(fail, RESULT_VALUE_CHARS, m_language.GetText(TEXT_VERDICT_FAIL));
    m_list.DeleteAllItems();
    for (int i = 0; i < m_rowCount; ++i) {
        const ResultRow& row = m_rows[i];
        m_list.InsertItem(i, qplat::FieldText(row.name, RESULT_NAME_CHARS).c_str());
        WCHAR value[RESULT_VALUE_CHARS] = {};
        FormatRowValue(value, RESULT_VALUE_CHARS, row, pass, fail);
        m_list.SetItemText(i, 1, value);
        m_list.SetItemText(i, 2, qplat::FieldText(row.units, RESULT_UNITS_CHARS).c_str());
    }
}

LRESULT CSeriesDlg::OnListCustomDraw(NMLVCUSTOMDRAW* draw)
{
    if (!draw) return CDRF_DODEFAULT;
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
    case CDDS_ITEMPREPAINT: return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const int item = static_cast<int>(draw->nmcd.dwItemSpec);
        if (draw->iSubItem == 1) {
            const BYTE status = item >= 0 && item < m_rowCount ? m_rows[item].status : 0;
            if (status == 2 || status == 1) {
                draw->clrText = 0xFFFFFF;
                draw->clrTextBk = status == 2 ? RESULT_OUT_FILL : RESULT_WARNING_FILL;
            } else {
                draw->clrText = RESULT_VALUE_TEXT;
                draw->clrTextBk = 0xFFFFFF;
            }
            return CDRF_NEWFONT;
        }
        if (draw->iSubItem == 0 || draw->iSubItem == 2) {
            draw->clrText = 0x000000;
            draw->clrTextBk = 0xFFFFFF;
            return CDRF_NEWFONT;
        }
        return CDRF_DODEFAULT;
    }
    default: return CDRF_DODEFAULT;
    }
}

void CSeriesDlg::CreateScrollBar()
{
    if (!m_scroll.bar.m_hWnd) m_scroll.bar.Create(m_hWnd, m_hInstance, kScrollBarId, 1, 254, 372, 15);
    UpdateScrollRange();
}

void CSeriesDlg::UpdateScrollRange()
{
    const int w = CSchemeView::CarWidth(m_scheme->cars, m_scheme->currentCar);
    CDiagramScroll& s = m_scroll;
    s.position = 0;
    if (w >= kScrollFrom) {
        s.minimum = 0;
        s.maximum = w - kScrollVisible;
        s.bar.SetRange(s.minimum, s.maximum, FALSE);
        s.bar.SetPos(s.position, TRUE);
        s.bar.Show(SW_SHOW);
    } else {
        s.minimum = s.maximum = 0;
        s.bar.SetPos(0, FALSE);
        s.bar.Show(SW_HIDE);
    }
}

void CSeriesDlg::RefreshList()
{
    UpdateScrollRange();
    if (!m_scroll.bar.m_visible) {
        m_scroll.position = 0;
        return;
    }
    const int x = CSchemeView::AxleX(m_scheme->cars, m_scheme->currentCar, m_scheme->currentAxle);
    // Each page goes through the bar's own handling; a position the range
    // cannot reach ends the stepping instead of repeating it for ever.
    for (int i = 0; i < kMaxPageSteps && x > m_scroll.position + kScrollFrom; ++i) {
        const int before = m_scroll.position;
        m_scroll.bar.PageDown();
        if (m_scroll.position == before) break;
    }
    for (int i = 0; i < kMaxPageSteps && x < m_scroll.position - 39; ++i) {
        const int before = m_scroll.position;
        m_scroll.bar.PageUp();
        if (m_scroll.position == before) break;
    }
}

void CSeriesDlg::UpdateStepButtons()
{
    m_buttons[kSlotPrevPosition].Enable(m_scheme->atFirst ? FALSE : TRUE);
    m_buttons[kSlotNextPosition].Enable(m_scheme->atLast ? FALSE : TRUE);
    m_buttons[kSlotPrevCar].Enable(m_scheme->atFirstCar ? FALSE : TRUE);
    m_buttons[kSlotNextCar].Enable(m_scheme->atLastCar ? FALSE : TRUE);
}

// ---------------------------------------------------------------- the start

void CSeriesDlg::OnTimer(UINT_PTR id)
{
    if (id == kStartTimer) {
        RunStart();
        return;
    }
    if (id != kStatusTimer) return;
    m_buttons[kSlotMeasure].Enable(m_linkMonitor->m_connected.load() == 1 ? TRUE : FALSE);
    m_controller->SetPort(m_linkMonitor->m_comPort.load());
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CSeriesDlg::RunStart()
{
    if (m_started) return;
    m_started = true;
    KillTimer(m_hWnd, kStartTimer);
    StartBusyAnimation(m_hInstance, m_hWnd, 0, 50);
    const bool read = StartSeries();
    InvalidateRect(m_hWnd, nullptr, FALSE);
    StopBusyAnimation();
    // An unreadable journal leaves every position unmarked: the operator
    // is told, so that it does not read as nothing stored yet.
    if (!read) ShowMessage(MESSAGE_FAILURE, kTextJournalUnreadable);
    // Without the settings the value list cannot say what is measured:
    // an empty list must not read as nothing to show.
    if (!m_results.SettingsRead()) ShowMessage(MESSAGE_FAILURE, kTextSettingsUnreadable);
}

bool CSeriesDlg::StartSeries()
{
    m_controller->ClearStoredResults();
    m_controller->ResetResults(0);
    bool read = true;
    if (Disc()) {
        std::vector<QodJournalRecord> journal;
        read = m_scheme->ReadJournalQod(&journal) == 1;
        m_scheme->TakeRecordNamesQod(m_qod);
        m_scheme->MarkMeasuredPositionsInQod(journal, m_qod);
        ReloadQodResults(journal);
    } else {
        std::vector<QavJournalRecord> journal;
        read = m_scheme->ReadJournal(&journal) == 1;
        m_scheme->TakeRecordNames(m_qav);
        m_scheme->MarkMeasuredPositionsIn(journal, m_params.deviceType, m_qav);
        ReloadQavResults(journal);
    }
    CreateValueList();
    CreateScrollBar();
    UpdateStepButtons();
    return read;
}

int CSeriesDlg::CurrentSlot() const
{
    return m_params.deviceType == 3 ? m_scheme->GetAxleListIndex() : m_scheme->currentEntry;
}

void CSeriesDlg::ReloadQavResults(const std::vector<QavJournalRecord>& journal)
{
    auto work = std::make_unique<QavJournalRecord>(m_qav);
    const int n = m_scheme->orderCount < SCHEME_MAX_ORDER ? m_scheme->orderCount : SCHEME_MAX_ORDER;
    for (int i = 0; i < n; ++i) {
        if (m_scheme->order[i].state < STATE_MEASURED) continue;
        m_scheme->SelectEntry(i, -1);
        m_scheme->FillRecordNames(work.get());
        if (m_scheme->FindRecordIn(journal, work.get(), 1, 0) < 0) continue;
        m_controller->RecomputeFromRecord(*work, m_params.deviceType);
        m_controller->StoreResult(m_params.deviceType == 3 ? m_scheme->GetAxleListIndex() : i);
    }
    m_scheme->SelectEntry(0, -1);
    m_controller->LoadResult(CurrentSlot());
}

void CSeriesDlg::ReloadQodResults(const std::vector<QodJournalRecord>& journal)
{
    auto work = std::make_unique<QodJournalRecord>(m_qod);
    const int n = m_scheme->orderCount < SCHEME_MAX_ORDER ? m_scheme->orderCount : SCHEME_MAX_ORDER;
    for (int i = 0; i < n; ++i) {
        if (m_scheme->order[i].state < STATE_MEASURED) continue;
        m_scheme->SelectEntry(i, -1);
        m_scheme->FillRecordNamesQod(work.get());
        if (m_scheme->FindRecordInQod(journal, work.get(), 1, 0) < 0) continue;
        m_controller->RecomputeDiscRecord(*work);
        m_controller->StoreResultExtra(i);
    }
    m_scheme->SelectEntry(0, -1);
    m_controller->LoadResultExtra(0);
}

// ---------------------------------------------------------------- commands

bool CSeriesDlg::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    answer = TRUE;
    if (id != kBackId) RunStart();
    switch (id) {
    case kBackId:
        KillTimer(m_hWnd, kStatusTimer);
        EndDialog(m_hWnd, WM_COMMAND);
        return true;
    case kRecordDataId: OpenRecordData(); return true;
    case kPrevPositionId:
    case kNextPositionId:
    case kPrevCarId:
    case kNextCarId: Step(id); return true;
    case kMeasureId:
    case kMeasureQunId:
    case kMeasureQemId: MeasurePosition(); return true;
    default: answer = 0; return false;
    }
}

void CSeriesDlg::OpenRecordData()
{
    // The record-data screen is this screen's: it comes back here.
    RunScreen<CRecordInfoDlg>(m_hInstance, m_hWnd, &m_qav, &m_qod);
    if (Disc())
        m_scheme->TakeRecordNamesQod(m_qod);
    else
        m_scheme->TakeRecordNames(m_qav);
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CSeriesDlg::FollowPosition()
{
    if (Disc()) {
        m_scheme->FillRecordNamesQod(&m_qod);
        m_controller->LoadResultExtra(CurrentSlot());
    } else {
        m_scheme->FillRecordNames(&m_qav);
        m_controller->LoadResult(CurrentSlot());
    }
    RefreshList();
    UpdateStepButtons();
    FillValueList();
}

void CSeriesDlg::Step(int id)
{
    switch (id) {
    case kPrevPositionId: m_scheme->PrevPosition(); break;
    case kNextPositionId: m_scheme->NextPosition(); break;
    case kPrevCarId: m_scheme->PrevCar(); break;
    case kNextCarId: m_scheme->NextCar(); break;
    default: return;
    }
    FollowPosition();
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CSeriesDlg::MeasurePosition()
{
    const BYTE type = m_params.deviceType;
    if (type == 2 || type == 3) {
        // The gauge is zeroed on the axle before the measuring screen opens;
        // it cannot measure against a zero it did not take.
        m_linkMonitor->Stop();
        const int zeroed = m_controller->ZeroGauge();
        m_linkMonitor->Start(m_hWnd);
        if (!zeroed) {
            ShowMessage(MESSAGE_FAILURE, kTextZeroFailed);
            return;
        }
    }
    const BYTE ask = m_scheme->GetCurrentState() == (STATE_CURRENT | STATE_MEASURED) ? 1 : 0;
    if (ask == 0) m_controller->ResetResults(0);
    const BOOL saved = RunScreen<CMeasureDlg>(m_hInstance, m_hWnd, m_controller, &m_qav, &m_qod, m_linkMonitor, ask);
    if (saved) {
        const int slot = CurrentSlot();
        if (Disc())
            m_controller->StoreResultExtra(slot);
        else
            m_controller->StoreResult(slot);
        m_scheme->MarkCurrentMeasured();
        m_scheme->NextPosition();
        FollowPosition();
    }
    // The measuring screen leaves the monitor stopped, or running for its
    // own window: either way it polls for this screen from now on.
    m_linkMonitor->Start(m_hWnd);
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

// ---------------------------------------------------------------- messages

bool CSeriesDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& answer)
{
    if (msg == WM_HSCROLL) {
        // The bar's own requests, and the pages the screen asks for itself.
        const HWND from = reinterpret_cast<HWND>(lParam);
        if (!m_scroll.bar.m_hWnd || (from != nullptr && from != m_scroll.bar.m_hWnd)) return false;
        if (m_scroll.Scroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam))))
            InvalidateRect(m_hWnd, nullptr, FALSE);
        answer = TRUE;
        return true;
    }
    if (msg != WM_NOTIFY || lParam == 0) return false;
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->idFrom != static_cast<UINT_PTR>(kValueListId) || header->code != static_cast<UINT>(NM_CUSTOMDRAW) ||
        header->hwndFrom != m_list.m_hWnd)
        return false;
    SetWindowLongW(m_hWnd, DWL_MSGRESULT, OnListCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(lParam)));
    answer = TRUE;
    return true;
}

void CSeriesDlg::OnClose()
{
    KillTimer(m_hWnd, kStatusTimer);
    KillTimer(m_hWnd, kStartTimer);
    m_statusImages.Free();
}

// ---------------------------------------------------------------- painting

void CSeriesDlg::PaintContent(HDC dc)
{
    if (Disc())
        m_schemeView.DrawRecordPanelQod(m_hWnd, dc, m_qod, 1, 1, kPanelX, kPanelY, kPanelFontWidth, kPanelFontHeight,
                                        kPanelLineStep);
    else
        m_schemeView.DrawRecordPanel(m_hWnd, dc, m_qav, 1, 1, kPanelX, kPanelY, kPanelFontWidth, kPanelFontHeight,
                                     kPanelLineStep);
    const int orderType = m_params.deviceType == 3 ? -1 : m_scheme->orderType;
    m_schemeView.DrawCar(m_hWnd, dc, kDiagramX, kDiagramY, kDiagramWidth, kDiagramHeight, m_scroll.position,
                         m_scheme->cars, m_scheme->currentCar, m_scheme->carCount, orderType, m_params.deviceType);
    const bool linked = m_linkMonitor->m_connected.load() != 0;
    DrawLinkCorner(m_paint, m_hWnd, dc, m_statusImages.m_extra[linked ? 0 : 1], *m_linkMonitor, linked);
}
