#include "screens/MeasureDlg.h"

#include <cstring>

#include "platform/WinText.h"
#include "screens/MeasuringScreens.h"
#include "screens/RecordInfoDlg.h"
#include "ui/BusyAnimation.h"

namespace {

constexpr BYTE kDiscDevice = MEASURING_DISC_DEVICE;
constexpr int kTextMeasureFailed = 50006;
constexpr int kTextZeroFailed = 50051;
constexpr int kTextAveraging = 40317;

}  // namespace

CMeasureDlg::CMeasureDlg()
{
    std::memset(&m_qav, 0, sizeof m_qav);
    std::memset(&m_qod, 0, sizeof m_qod);
}

CMeasureDlg::~CMeasureDlg() = default;

BOOL CMeasureDlg::DoModal(HINSTANCE instance, HWND parent, CMeasureController* controller, QavJournalRecord* qav,
                          QodJournalRecord* qod, CLinkMonitor* linkMonitor, BYTE askBeforeReplace)
{
    BeginModal(instance, parent);
    const bool disc = Type() == kDiscDevice;
    if (controller == nullptr || linkMonitor == nullptr || (disc ? qod == nullptr : qav == nullptr)) {
        CancelModal();
        return FALSE;
    }
    m_controller = controller;
    if (disc)
        m_qod = *qod;
    else
        m_qav = *qav;
    m_linkMonitor = linkMonitor;
    m_askBeforeReplace = askBeforeReplace;
    m_controller->SetPort(m_linkMonitor->m_comPort.load());
    return Answered(RunTemplate());
}

void CMeasureDlg::OnLoadSettings()
{
    m_statusImages.Load(m_hInstance);
    // The program's one unit rule: inches only for unit byte 2.
    m_unitDivisor = UnitsOf(m_params.unitSystem).divisor;
}

LPCWSTR CMeasureDlg::TitleText()
{
    return m_language.GetText(MeasuringTitleId(Type()));
}

// ---------------------------------------------------------------- opening

void CMeasureDlg::OnInitDialog()
{
    AddButtons(m_mainButtons, 4);
    AddButtons(m_stepButtons, 2);
    AddButtons(m_chartButtons, 4);
    AddButtons(m_sideRadios, 2);
    m_measuring = 0;
    m_viewIndex = 0;
    m_chartMode = 1;
    const bool startNow = m_params.measureMode == 0 && m_askBeforeReplace == 0;
    const bool reopen = m_askBeforeReplace == 1;
    switch (Type()) {
    case 1:
        m_controller->ResetAverage();
        CreateControlsType1();
        SetupWheelChart();
        SetupChartSeries();
        if (startNow) {
            Command(kMeasureId);
        } else if (reopen) {
            // The stored record, when the journal still holds it, replaces the
            // one the opener passed; its values (not its profile) are shown.
            m_scheme.FindRecord(&m_qav, 1, 0);
            m_controller->RecomputeFromRecord(m_qav, 1);
            FillWheelSeries(1, m_controller->m_count, m_controller->m_points, 0);
            FillWheelSeries(3, kKeyPointCount, m_controller->m_keys.points, 0);
        }
        break;
    case 2:
    case 3:
        if (Type() == 3) m_controller->InitSteps();
        if (Type() == 2)
            CreateControlsType2();
        else
            CreateControlsType3();
        m_zeroFirst = 1;
        if (startNow) {
            Command(Type() == 2 ? kMeasureQunId : kMeasureQemId);
        } else if (reopen) {
            m_scheme.FindRecord(&m_qav, 1, 0);
            m_controller->RecomputeFromRecord(m_qav, Type());
        }
        break;
    case kDiscDevice:
        m_controller->SetDiscOptions(0, 0);
        CreateControlsType4();
        SetDiscBases();
        SetupDiscChart();
        SetSeriesVisibility();
        if (startNow) {
            Command(kMeasureId);
        } else if (reopen) {
            m_scheme.FindRecordQod(&m_qod, 1, 0);
            m_controller->RecomputeDiscRecord(m_qod);
            const BYTE chosen = m_controller->m_discSide;
            m_controller->SetDiscOptions(m_controller->m_count > 0, m_controller->m_count2 > 0);
            // Two heads measure both sides at once: no side is chosen.
            if (m_params.discHeadMode == 2) m_controller->m_discSide = chosen;
            FillDiscSides();
        }
        break;
    default: break;
    }
    SetTimer(m_hWnd, kStatusTimer, kStatusMs, nullptr);
}

void CMeasureDlg::Command(int id)
{
    SendMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

// ---------------------------------------------------------------- timers

void CMeasureDlg::OnTimer(UINT_PTR id)
{
    if (id == kRunTimer) {
        KillTimer(m_hWnd, kRunTimer);
        // The controller takes the port over from the monitor: Stop returns
        // once no cycle of the monitor's thread touches it any more.
        m_linkMonitor->Stop();
        switch (Type()) {
        case 1: Command(kRunWheelId); break;
        case 2: Command(kRunQunId); break;
        case 3: Command(kRunQemId); break;
        case kDiscDevice: Command(kRunDiscId); break;
        default: break;
        }
        return;
    }
    if (id != kStatusTimer) return;
    const BOOL up = LinkUp() ? TRUE : FALSE;
    switch (Type()) {
    case 1: {
        const bool full = m_params.option5 == 2 && m_controller->m_averageCount >= kMaxAveraged;
        Button(kSlotMeasure).Enable(up && !full);
        break;
    }
    case 2:
    case 3:
        Button(kSlotMeasure).Enable(up);
        Button(kSlotFourth).Enable(up);
        break;
    case kDiscDevice: Button(kSlotMeasure).Enable(up); break;
    default: break;
    }
    m_controller->SetPort(m_linkMonitor->m_comPort.load());
    Invalidate();
}

// ---------------------------------------------------------------- commands

bool CMeasureDlg::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    answer = TRUE;
    switch (id) {
    case kCloseId:
        KillTimer(m_hWnd, kStatusTimer);
        m_linkMonitor->Stop();
        StopBusyAnimation();
        EndDialog(m_hWnd, 0);
        return true;
    case kMeasureId:
        m_measuring = 1;
        Button(kSlotMeasure).Enable(FALSE);
        SetTimer(m_hWnd, kRunTimer, kRunDelayMs, nullptr);
        Invalidate();
        return true;
    case kMeasureQunId:
    case kMeasureQemId:
        m_measuring = 1;
        SetTimer(m_hWnd, kRunTimer, kRunDelayMs, nullptr);
        Invalidate();
        return true;
    case kZeroQunId:
    case kZeroQemId: ZeroGauge(kSlotFourth); return true;
    case kComputeId: Compute(); return true;
    case kChartModeId:
        if (m_chartMode == 1) {
            m_chartMode = 0;
            m_chartButtons[kChartModeSlot].SetBitmaps(705, 706, 0);
            SetupChartAlt();
        } else {
            m_chartMode = 1;
            m_chartButtons[kChartModeSlot].SetBitmaps(703, 704, 0);
            if (Type() == kDiscDevice)
                SetSeriesVisibility();
            else
                SetupChartSeries();
        }
        m_chart.Repaint();
        InvalidateRect(m_chartButtons[kChartModeSlot].m_hWnd, nullptr, FALSE);
        Invalidate();
        return true;
    case kRunWheelId: RunWheel(); return true;
    case kZoomInId:
    case kZoomOutId:
    case kZoomResetId: {
        const int step = id == kZoomInId ? 1 : id == kZoomOutId ? -1 : 0;
        StartBusyAnimation(m_hInstance, m_chart.m_hWnd, 0, 0);
        m_chart.ZoomIn(step, FALSE);
        m_chart.ZoomOut(step, TRUE);
        UpdateZoomButtons();
        StopBusyAnimation();
        return true;
    }
    case kWearToggleId:
    case kDeviationToggleId: {
        CImageButton& toggle = m_toggles[id == kDeviationToggleId ? kToggleDeviation : kToggleWear];
        SetButtonState(toggle, toggle.m_state == 1 ? 0 : 1);
        const bool anyOn = m_toggles[kToggleDeviation].m_state == 1 || m_toggles[kToggleWear].m_state == 1;
        Button(kSlotFourth).Enable(anyOn ? FALSE : TRUE);
        InvalidateRect(toggle.m_hWnd, nullptr, FALSE);
        return true;
    }
    case kOverlayId: {
        CImageButton& toggle = m_toggles[kToggleOverlay];
        SetButtonState(toggle, toggle.m_state == 1 ? 0 : 1);
        m_params.spareOption2 = Overlay() ? 1 : 0;
        SaveSettings();
        const bool show = Overlay() && m_chartMode == 1;
        m_chart.ShowSeries(0, show, FALSE);
        m_chart.ShowSeries(Type() == kDiscDevice ? 1 : 2, show, FALSE);
        InvalidateRect(toggle.m_hWnd, nullptr, FALSE);
        Invalidate();
        return true;
    }
    case kRunQunId: RunGauge(false); return true;
    case kRunQemId: RunGauge(true); return true;
    case kChartViewId:
    case kResultsViewId: {
        const int view = id == kChartViewId ? 1 : 0;
        if (view != m_viewIndex) {
            m_viewIndex = view;
            ShowViewControls();
            InvalidateRect(m_viewButtons[0].m_hWnd, nullptr, FALSE);
            InvalidateRect(m_viewButtons[1].m_hWnd, nullptr, FALSE);
            Invalidate();
        }
        return true;
    }
    case kPrevStepId:
    case kNextStepId:
        if (Type() != 3) return true;
        if (id == kPrevStepId)
            m_controller->PrevStep();
        else
            m_controller->NextStep();
        Invalidate();
        return true;
    case kSideAId:
    case kSideBId:
        SelectRadio(kSideAId, kSideBId, id == kSideAId ? 0 : 1);
        Invalidate();
        return true;
    case kRunDiscId: RunDisc(); return true;
    case kSaveId: Save(); return true;
    default: answer = 0; return false;
    }
}

// ---------------------------------------------------------------- runs

void CMeasureDlg::StartBusy(bool overChart)
{
    StartBusyAnimation(m_hInstance, overChart ? m_chart.m_hWnd : m_hWnd, 0, 0);
}

// What every run does at its end: the monitor polls again, for this screen.
void CMeasureDlg::EndRun()
{
    m_linkMonitor->Start(m_hWnd);
    StopBusyAnimation();
    Invalidate();
}

void CMeasureDlg::RunWheel()
{
    StartBusy(m_viewIndex == 1);
    // A failed run leaves the screen as it was before it: the controller puts
    // the previous measurement back, and the compute button is as it was.
    const BOOL computeBefore = IsWindowEnabled(Button(kSlotFourth).m_hWnd);
    Button(kSlotMeasure).Enable(FALSE);
    Button(kSlotFourth).Enable(FALSE);
    const BYTE mode = static_cast<BYTE>((m_toggles[kToggleDeviation].m_state == 1 ? 1 : 0) +
                                        (m_toggles[kToggleWear].m_state == 1 ? 2 : 0));
    const bool averaging = m_params.option5 == 2;
    CMeasureController& c = *m_controller;
    const bool measured = c.MeasureWheel(m_hWnd, m_hInstance, mode, averaging ? 1 : 0) != 0;
    if (measured) {
        if (!averaging) Button(kSlotSave).Enable(TRUE);
        FillWheelSeries(1, c.m_count, c.m_points, 0);
        FillWheelSeries(3, kKeyPointCount, c.m_keys.points, 0);
        if (m_params.spareOption2 != 0) FillWheelSeries(2, kKeyPointCount, c.m_refKeys.points, 1);
        if (mode != 0) {
            FillWheelSeries(6, c.m_secondCount, c.m_secondPoints, 0);
            FillWheelSeries(7, kKeyPointCount, c.m_secondKeys.points, 0);
        }
        FillMarkSeries(c.m_deviationCount, c.m_deviations);
        if (m_viewIndex == 1) m_chart.Repaint();
    } else {
        StopBusyAnimation();
        ShowMessage(MESSAGE_FAILURE, kTextMeasureFailed);
    }
    m_measuring = 0;
    const bool full = averaging && c.m_averageCount >= kMaxAveraged;
    Button(kSlotMeasure).Enable(full ? FALSE : TRUE);
    const bool anyOn = m_toggles[kToggleDeviation].m_state == 1 || m_toggles[kToggleWear].m_state == 1;
    Button(kSlotFourth).Enable(measured ? (anyOn ? FALSE : TRUE) : computeBefore);
    ShowViewControls();
    EndRun();
}

void CMeasureDlg::RunGauge(bool type3)
{
    StartBusy(false);
    Button(kSlotMeasure).Enable(FALSE);
    m_measuring = 1;
    CMeasureController& c = *m_controller;
    bool measured = false;
    // Steps along a scheme begin from zero. A gauge that cannot be zeroed
    // would give a reading against a wrong zero, so nothing is measured then.
    const bool steps = type3 && m_params.gaugeSteps > 1 && m_params.measureMode == 0;
    const int result = steps ? c.ZeroAndMeasureQem(m_zeroFirst)
                             : type3 ? c.MeasureQem(m_zeroFirst) : c.MeasureQun(m_zeroFirst);
    measured = result == 1;
    if (measured) {
        Button(kSlotSave).Enable(TRUE);
    } else {
        StopBusyAnimation();
        ShowMessage(MESSAGE_FAILURE, result < 0 ? kTextZeroFailed : kTextMeasureFailed);
    }
    m_zeroFirst = 0;
    m_measuring = 0;
    Button(kSlotMeasure).Enable(TRUE);
    EndRun();
}

void CMeasureDlg::RunDisc()
{
    StartBusy(m_viewIndex == 1);
    Button(kSlotMeasure).Enable(FALSE);
    if (m_controller->MeasureDisc(m_hWnd, m_hInstance, m_controller->m_discSide)) {
        Button(kSlotSave).Enable(TRUE);
        FillDiscSides();
        if (m_viewIndex == 1) m_chart.Repaint();
    } else {
        StopBusyAnimation();
        ShowMessage(MESSAGE_FAILURE, kTextMeasureFailed);
    }
    m_measuring = 0;
    Button(kSlotMeasure).Enable(TRUE);
    EndRun();
}

void CMeasureDlg::ZeroGauge(int buttonSlot)
{
    StartBusyAnimation(m_hInstance, m_hWnd, 0, 0);
    m_linkMonitor->Stop();
    Button(buttonSlot).Enable(FALSE);
    if (!m_controller->ZeroGauge()) {
        StopBusyAnimation();
        ShowMessage(MESSAGE_FAILURE, kTextZeroFailed);
    }
    Button(buttonSlot).Enable(TRUE);
    EndRun();
}

void CMeasureDlg::Compute()
{
    // Without one averaged profile there is nothing to compute: the current
    // measurement stays as it is and nothing new can be saved.
    if (m_controller->m_averageCount <= 0) return;
    if (m_params.switches[14] == 2) m_toggles[kToggleDeviation].Show(SW_SHOW);
    if (m_params.switches[15] == 2) m_toggles[kToggleWear].Show(SW_SHOW);
    m_controller->ComputeProfiles();
    FillWheelSeries(1, m_controller->m_count, m_controller->m_points, 0);
    FillWheelSeries(3, kKeyPointCount, m_controller->m_keys.points, 0);
    if (m_viewIndex == 1) m_chart.Repaint();
    Button(kSlotSave).Enable(TRUE);
    Button(kSlotFourth).Enable(FALSE);
    Invalidate();
}

void CMeasureDlg::Save()
{
    const bool single = m_params.measureMode != 0;
    if (single && !RunScreen<CRecordInfoDlg>(m_hInstance, m_hWnd, &m_qav, &m_qod)) return;
    const int stored = Type() == kDiscDevice ? SaveQodRecord() : SaveQavRecord();
    // Declined or failed: the operator tries again with the same measurement
    // (and the same mean).
    if (stored != 1) return;
    // What was averaged is stored: the next wheel starts an average of its own.
    if (Type() == 1) {
        m_controller->ResetAverage();
        Button(kSlotMeasure).Enable(LinkUp() ? TRUE : FALSE);
    }
    if (!single) {
        KillTimer(m_hWnd, kStatusTimer);
        EndDialog(m_hWnd, 1);
        return;
    }
    Button(kSlotSave).Enable(FALSE);
    Invalidate();
}

// ---------------------------------------------------------------- messages

bool CMeasureDlg::OnMessage(UINT msg, WPARAM, LPARAM lParam, INT_PTR& answer)
{
    if (msg != WM_DRAWITEM) return false;
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (!item) return false;
    for (CImageButton* group : {m_viewButtons, m_toggles}) {
        const int n = group == m_viewButtons ? 2 : 3;
        for (int i = 0; i < n; ++i) {
            if (group[i].m_hWnd && group[i].m_hWnd == item->hwndItem) {
                group[i].DrawItem(item);
                answer = kUnhandledAnswer;
                return true;
            }
        }
    }
    return false;  // the owner buttons are the pattern's
}

void CMeasureDlg::OnClose()
{
    KillTimer(m_hWnd, kStatusTimer);
    KillTimer(m_hWnd, kRunTimer);
    m_linkMonitor->Stop();
    StopBusyAnimation();
    for (CImageButton& b : m_viewButtons) b.Destroy();
    for (CImageButton& b : m_toggles) b.Destroy();
    m_statusImages.Free();
}

// ---------------------------------------------------------------- painting

void CMeasureDlg::PaintContent(HDC dc)
{
    const CMeasureController& c = *m_controller;
    const BYTE measuring = static_cast<BYTE>(m_measuring);
    if (m_viewIndex == 1) {
        if (m_chartMode == 0) FormatValue(dc);
    } else {
        switch (Type()) {
        case 1:
            m_results.DrawWheelResults(m_hWnd, dc, c.m_result, c.m_refCount > 0 ? &c.m_refResult : nullptr, kViewX,
                                       kViewY, kViewWidth, kViewHeight, measuring, u"", 1, Overlay() ? 1 : 0);
            if (m_params.option5 == 2 && c.m_averageCount > 0) {
                m_paint.DrawCaption(m_hWnd, dc, 130, 61, 0, m_language.GetText(kTextAveraging), 18, 0, 0x000000,
                                    FALSE, TRUE, 0);
                m_paint.DrawCaption(m_hWnd, dc, 240, 61, 0, IntToText(c.m_averageCount), 18, 0, 0x000000, FALSE,
                                    TRUE, 0);
            }
            break;
        case 2:
            m_results.DrawErrorRows(m_hWnd, dc, c.m_result, kViewX, kViewY, kViewWidth, kViewHeight, measuring, 0,
                                    m_params.spareOption1);
            break;
        case 3:
            m_results.DrawErrorRowsType3(m_hWnd, dc, c.m_result, kViewX, kViewY, kViewWidth, kViewHeight, measuring,
                                         0, m_params.gaugeSteps);
            if (m_params.gaugeSteps > 1 && m_params.measureMode == 0)
                m_results.DrawDial(m_hWnd, dc, 220, 200, c.m_steps, m_params.gaugeSteps);
            break;
        case kDiscDevice:
            if (m_params.discHeadMode == 2) {
                m_results.DrawDiscResults(m_hWnd, dc, c.m_discResult, kViewX, kViewY, kViewWidth, kViewHeight,
                                          measuring);
            } else {
                m_results.DrawDiscResults(m_hWnd, dc, c.m_discResult, 200, kViewY, 275, kViewHeight, measuring);
                if (m_params.discHeadMode == 1)
                    m_results.DrawPanel(m_hWnd, dc, kViewX, kViewY, c.m_side1State, c.m_side2State);
            }
            break;
        default: break;
        }
    }
    const bool up = LinkUp();
    DrawLinkCorner(m_paint, m_hWnd, dc, m_statusImages.m_link[up ? 0 : 1], *m_linkMonitor, up);
}
