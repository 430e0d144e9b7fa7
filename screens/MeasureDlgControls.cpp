// The measuring screen's controls for each device type, and which of them the
// current view shows.
#include "screens/MeasureDlg.h"

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr int kTextMeasure = 50114;
constexpr int kTextZero = 50115;
constexpr int kTextCompute = 50116;
constexpr int kTextSave = 50104;
constexpr int kTextOverlay = 40429;
constexpr int kTextDeviation = 40354;
constexpr int kTextWear = 40355;
// Image buttons are owner-drawn children; the owner sets the face.
constexpr DWORD kImageButtonStyle = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;
constexpr int kToggleCaptionHeight = 14;

}  // namespace

bool CMeasureDlg::OptionLayout() const
{
    const ParamBlock& p = m_params;
    return p.option5 == 2 || p.switches[14] == 2 || p.switches[15] == 2 ||
           (p.wheelTypeOption == 2 && p.switches[9] == 2);
}

void CMeasureDlg::SetButtonState(CImageButton& button, int state)
{
    button.m_state = state;
}

// The close and save buttons every device type has.
static void CreateCommonButtons(CMeasureDlg& s)
{
    s.m_mainButtons[CMeasureDlg::kSlotClose].Create(s.m_hWnd, s.m_hInstance, 435, 7, 36, 36, CMeasureDlg::kCloseId,
                                                     173, 174, 0);
    COwnerButton& save = s.m_mainButtons[CMeasureDlg::kSlotSave];
    save.Create(s.m_hWnd, s.m_hInstance, 5, 225, 0, 0, CMeasureDlg::kSaveId, 262, 263, 264);
    save.SetCaption(s.m_language.GetText(kTextSave), kWhite, FALSE, FALSE, FALSE, 0, 0);
    save.Enable(FALSE);
}

// The view switches and the zoom buttons of the chart screens (types 1 and 4).
static void CreateViewButtons(CMeasureDlg& s)
{
    s.m_viewButtons[0].Create(s.m_hWnd, s.m_hInstance, u"", CMeasureDlg::kResultsViewId, 430, 51, 0, 0, 709, 710, 0,
                              kImageButtonStyle);
    s.m_viewButtons[1].Create(s.m_hWnd, s.m_hInstance, u"", CMeasureDlg::kChartViewId, 385, 51, 0, 0, 707, 708, 0,
                              kImageButtonStyle);
    s.m_chartButtons[CMeasureDlg::kZoomOutSlot].Create(s.m_hWnd, s.m_hInstance, 130, 51, 0, 0,
                                                       CMeasureDlg::kZoomOutId, 648, 647, 646);
    s.m_chartButtons[CMeasureDlg::kZoomInSlot].Create(s.m_hWnd, s.m_hInstance, 170, 51, 0, 0,
                                                      CMeasureDlg::kZoomInId, 642, 641, 640);
    s.m_chartButtons[CMeasureDlg::kZoomResetSlot].Create(s.m_hWnd, s.m_hInstance, 210, 51, 0, 0,
                                                         CMeasureDlg::kZoomResetId, 645, 644, 643);
    for (int slot : {CMeasureDlg::kZoomOutSlot, CMeasureDlg::kZoomInSlot, CMeasureDlg::kZoomResetSlot})
        s.m_chartButtons[slot].Show(SW_HIDE);
}

static void CreateToggle(CMeasureDlg& s, int slot, int id, int x, int y, int textId, int state)
{
    CImageButton& toggle = s.m_toggles[slot];
    toggle.Create(s.m_hWnd, s.m_hInstance, u"", id, x, y, 0, 0, 662, 663, 0, kImageButtonStyle);
    toggle.SetCaption(s.m_language.GetText(textId), kWhite, 0, 0, kToggleCaptionHeight);
    s.SetButtonState(toggle, state);
}

void CMeasureDlg::CreateControlsType1()
{
    CreateCommonButtons(*this);
    COwnerButton& measure = Button(kSlotMeasure);
    if (OptionLayout()) {
        measure.Create(m_hWnd, m_hInstance, 5, 55, 0, 0, kMeasureId, 700, 701, 702);
        COwnerButton& compute = Button(kSlotFourth);
        compute.Create(m_hWnd, m_hInstance, 5, 130, 0, 0, kComputeId, 697, 698, 699);
        compute.SetCaption(m_language.GetText(kTextCompute), kWhite, FALSE, FALSE, FALSE, 0, 0);
        compute.Enable(FALSE);
    } else {
        measure.Create(m_hWnd, m_hInstance, 5, 55, 0, 0, kMeasureId, 259, 260, 261);
        measure.SetCaption(m_language.GetText(kTextMeasure), kWhite, FALSE, FALSE, FALSE, 0, 0);
    }
    CreateViewButtons(*this);
    COwnerButton& mode = m_chartButtons[kChartModeSlot];
    mode.Create(m_hWnd, m_hInstance, 250, 51, 0, 0, kChartModeId, 703, 704, 0);
    mode.Show(SW_HIDE);
    const int overlayX = m_params.option5 == 2 ? 270 : 140;
    CreateToggle(*this, kToggleOverlay, kOverlayId, overlayX, 59, kTextOverlay, m_params.spareOption2 == 1 ? 1 : 0);
    if (m_params.switches[14] == 2) {
        CreateToggle(*this, kToggleDeviation, kDeviationToggleId, 5, 175, kTextDeviation, 0);
        m_toggles[kToggleDeviation].Show(SW_HIDE);
    }
    if (m_params.switches[15] == 2) {
        CreateToggle(*this, kToggleWear, kWearToggleId, 5, 197, kTextWear, 0);
        m_toggles[kToggleWear].Show(SW_HIDE);
    }
    ShowViewControls();
    UpdateZoomButtons();
}

// The gauges' measure and zero buttons, with the close and save buttons.
static void CreateGaugeButtons(CMeasureDlg& s, int measureId, int measureFaces, int zeroId, int zeroFaces,
                               int zeroDisabled)
{
    COwnerButton& measure = s.m_mainButtons[CMeasureDlg::kSlotMeasure];
    measure.Create(s.m_hWnd, s.m_hInstance, 5, 55, 0, 0, measureId, measureFaces, measureFaces + 1,
                   measureFaces + 2);
    measure.SetCaption(s.m_language.GetText(kTextMeasure), kWhite, FALSE, FALSE, FALSE, 0, 0);
    CreateCommonButtons(s);
    COwnerButton& zero = s.m_mainButtons[CMeasureDlg::kSlotFourth];
    zero.Create(s.m_hWnd, s.m_hInstance, 5, 140, 0, 0, zeroId, zeroFaces, zeroFaces + 1, zeroDisabled);
    zero.SetCaption(s.m_language.GetText(kTextZero), kWhite, FALSE, FALSE, FALSE, 0, 0);
}

void CMeasureDlg::CreateControlsType2()
{
    CreateGaugeButtons(*this, kMeasureQunId, 673, kZeroQunId, 679, 671);
}

void CMeasureDlg::CreateControlsType3()
{
    CreateGaugeButtons(*this, kMeasureQemId, 676, kZeroQemId, 681, 672);
    if (m_params.gaugeSteps >= 2 && m_params.measureMode == 0) {
        m_stepButtons[0].Create(m_hWnd, m_hInstance, 320, 190, 41, 41, kPrevStepId, 616, 617, 618);
        m_stepButtons[1].Create(m_hWnd, m_hInstance, 370, 190, 41, 41, kNextStepId, 610, 611, 612);
    }
}

void CMeasureDlg::CreateControlsType4()
{
    COwnerButton& measure = Button(kSlotMeasure);
    measure.Create(m_hWnd, m_hInstance, 5, 55, 0, 0, kMeasureId, 760, 761, 762);
    measure.SetCaption(m_language.GetText(kTextMeasure), kWhite, FALSE, FALSE, FALSE, 0, 0);
    CreateCommonButtons(*this);
    CreateViewButtons(*this);
    CreateToggle(*this, kToggleOverlay, kOverlayId, 140, 59, kTextOverlay, m_params.spareOption2 == 1 ? 1 : 0);
    if (m_params.discHeadMode != 2) {
        m_sideRadios[0].CreateCheck(m_hWnd, m_hInstance, u"", 132, 90, 20, 20, kSideAId);
        m_sideRadios[1].CreateCheck(m_hWnd, m_hInstance, u"", 172, 90, 20, 20, kSideBId);
        CheckRadioButton(m_hWnd, kSideAId, kSideBId, kSideAId);
    } else {
        m_controller->m_discSide = 0;
    }
    ShowViewControls();
    UpdateZoomButtons();
}

void CMeasureDlg::ShowViewControls()
{
    const bool chart = m_viewIndex == 1;
    SetButtonState(m_viewButtons[0], chart ? 0 : 1);
    SetButtonState(m_viewButtons[1], chart ? 1 : 0);
    const int inChart = chart ? SW_SHOW : SW_HIDE;
    const int inResults = chart ? SW_HIDE : SW_SHOW;
    m_chart.Show(inChart, TRUE);
    for (int slot : {kZoomOutSlot, kZoomInSlot, kZoomResetSlot}) m_chartButtons[slot].Show(inChart);
    const bool deviations = m_controller->m_deviationCount > 0;
    m_chartButtons[kChartModeSlot].Show(chart && deviations ? SW_SHOW : SW_HIDE);
    for (COwnerButton& radio : m_sideRadios) radio.Show(inResults);
    m_toggles[kToggleOverlay].Show(inResults);
}

void CMeasureDlg::UpdateZoomButtons()
{
    const unsigned z = m_chart.m_xZoom;
    m_chartButtons[kZoomOutSlot].Enable(z >= 2 ? TRUE : FALSE);
    m_chartButtons[kZoomResetSlot].Enable(z >= 2 ? TRUE : FALSE);
    m_chartButtons[kZoomInSlot].Enable(z < CHART_MAX_ZOOM ? TRUE : FALSE);
}

void CMeasureDlg::SelectRadio(int firstId, int, int choice)
{
    CMeasureController& c = *m_controller;
    if (c.m_discSide == choice + 1) return;
    c.m_discSide = static_cast<BYTE>(choice + 1);
    CheckRadioButton(m_hWnd, firstId, firstId + 1, firstId + choice);
    // Bit 0 of a side's state word marks the chosen side.
    LONG& chosen = choice == 0 ? c.m_side1State : c.m_side2State;
    LONG& other = choice == 0 ? c.m_side2State : c.m_side1State;
    chosen |= 1;
    other &= ~1;
}
