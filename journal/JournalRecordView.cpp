// The record view of the journal browser: one stored record evaluated again
// with the current head settings, tolerance set and reference profile,
// compared with the reference and drawn in the browser's chart (the wheel
// family also as a deviation chart with its areas); the same evaluation
// feeds the results table and the save-as-reference command.
#include <cstring>
#include <memory>
#include <new>

#include "journal/JournalViewDlg.h"
#include "platform/WinText.h"
#include "screens/DiscChart.h"
#include "settings/FileNames.h"
#include "ui/KeyboardDlg.h"

namespace {


enum : int {
    kTextArea = 40331,
    kTextProfileName = 40405,
    kTextDefaultReference = 40429,
    kTextOverwriteReference = 50054,
    kTextReferenceNameRefused = 50083,
    kTextNoProfile = 50084,
    kTextReferenceNameNeeded = 50095,
};

// The reference base of a disc side drawn without a reference.
constexpr LONG kDefaultDiscBase = 8000;
// Square millimetres in a square inch.
constexpr double kSquareInch = 645.16;

}  // namespace

struct JournalSeriesStyle {
    COLORREF colour;
    int width;
    BYTE markers;
};

namespace {
constexpr JournalSeriesStyle kWheelSeries[6] = {
    {JOURNAL_GREEN, 0, CHART_STYLE_LINES},  {JOURNAL_BLUE, 0, CHART_STYLE_LINES}, {JOURNAL_YELLOW, 0, CHART_STYLE_CIRCLES},
    {JOURNAL_RED, 0, CHART_STYLE_CIRCLES},  {JOURNAL_GREEN, 0, CHART_STYLE_BARS}, {JOURNAL_BLUE, 0, CHART_STYLE_BARS},
};
constexpr JournalSeriesStyle kDiscSeries[6] = {
    {JOURNAL_GREEN, 2, CHART_STYLE_LINES}, {JOURNAL_GREEN, 2, CHART_STYLE_LINES}, {JOURNAL_BLUE, 2, CHART_STYLE_LINES},
    {JOURNAL_BLUE, 2, CHART_STYLE_LINES},  {JOURNAL_RED, 0, CHART_STYLE_CIRCLES}, {JOURNAL_RED, 0, CHART_STYLE_CIRCLES},
};

DWORD Bounded(LONG count)
{
    if (count <= 0) return 0;
    return static_cast<DWORD>(count) > kMaxProfilePoints ? kMaxProfilePoints : static_cast<DWORD>(count);
}

}  // namespace

// ---------------------------------------------------------------- chart set-up

void CJournalViewDlg::CreateChart(const JournalSeriesStyle* styles)
{
    m_chart.SetLabelDecimals(m_units.inches ? 3 : 2);
    m_chart.SetAxisUnits(u"X", u"Y", FALSE);
    m_chart.SetBackColor(JOURNAL_WHITE, FALSE);
    // In the record list's place.
    m_chart.Create(m_hWnd, kChartId, 5, 87, 308, 180);
    m_chart.SetXAxisColor(JOURNAL_BLACK, FALSE);
    m_chart.SetYAxisColor(JOURNAL_BLACK, FALSE);
    for (int s = 0; s < 6; ++s) {
        m_chart.SetSeriesPen(s, styles[s].colour, styles[s].width, FALSE);
        m_chart.SetSeriesMarkers(s, styles[s].markers, FALSE);
    }
}

void CJournalViewDlg::SetupQavChart()
{
    const double d = m_units.divisor;
    m_chart.SetDefaults();
    m_chart.SetLineWidth(1, FALSE);
    m_chart.SetXRange(0, 140000 / d, FALSE);
    m_chart.SetYRange(0, 50000 / d, FALSE);
    m_chart.SetYDownward(TRUE);
    m_chart.SetYDownwardShifted(TRUE);
    CreateChart(kWheelSeries);
    m_shownRefKeys = m_refKeys;
    PlotQavSeries(0, m_refCount, m_refPoints, true);
    PlotQavSeries(2, m_refCount > 0 ? kKeyPointCount : 0, m_shownRefKeys.points, true);
    m_chart.Show(SW_HIDE, FALSE);
}

void CJournalViewDlg::SetupQodChart()
{
    m_chart.SetDefaults();
    SetDiscChartRanges(m_chart, m_baseHeight, m_baseHeight, m_units.divisor);
    m_chart.SetYDownward(FALSE);
    m_chart.SetYDownwardShifted(FALSE);
    CreateChart(kDiscSeries);
    PlotQodSeries(0, m_refCount, m_refPoints, 1, true);
    PlotQodSeries(1, m_refCount, m_refPoints, 2, true);
    m_chart.Show(SW_HIDE, FALSE);
}

// ---------------------------------------------------------------- plotting

void CJournalViewDlg::SetSeries(int series, int n, const double* y)
{
    m_chart.SetSeriesData(series, n, m_plotX, y);
}

void CJournalViewDlg::PlotQavSeries(int series, DWORD count, const ProfilePoint* points, bool reference)
{
    const double d = m_units.divisor;
    const int n = static_cast<int>(count > kMaxProfilePoints ? kMaxProfilePoints : count);
    const bool headFrame = m_params.option6 == 1;
    const LONG offset = m_headSettings.dimensions[DIM_L2];
    // Both profiles meet at the measuring circle.
    const LONG v = reference ? m_refResult.values[0] : m_result.values[0];
    for (int i = 0; i < n; ++i) {
        const ProfilePoint& p = points[i];
        if (headFrame) {
            m_plotX[i] = p.x / d;
            m_plotY[i] = p.z / d;
        } else if (p.x == 0 && p.z == 0) {
            m_plotX[i] = 0;
            m_plotY[i] = 0;
        } else {
            m_plotX[i] = (static_cast<double>(p.x) - offset) / d;
            m_plotY[i] = (static_cast<double>(p.z) - v) / d;
        }
    }
    SetSeries(series, n, m_plotY);
    m_chart.ShowSeries(series, m_view == 1, FALSE);
}

void CJournalViewDlg::PlotQavSeries2(DWORD count, const DeviationRow* rows)
{
    const double d = m_units.divisor;
    const int n = static_cast<int>(count > kMaxDeviationRows ? kMaxDeviationRows : count);
    for (int i = 0; i < n; ++i) {
        m_plotX[i] = rows[i].x / d;
        if (rows[i].dz < 0) {
            m_plotY[i] = 0;
            m_plotY2[i] = -static_cast<double>(rows[i].dz) / d;
        } else {
            m_plotY[i] = rows[i].dz / d;
            m_plotY2[i] = 0;
        }
    }
    SetSeries(4, n, m_plotY);
    SetSeries(5, n, m_plotY2);
    m_chart.ShowSeries(4, m_view == 0, FALSE);
    m_chart.ShowSeries(5, m_view == 0, FALSE);
}

void CJournalViewDlg::PlotQodSeries(int series, DWORD count, const ProfilePoint* points, int side, bool reference)
{
    const double d = m_units.divisor;
    const int n = static_cast<int>(count > kMaxProfilePoints ? kMaxProfilePoints : count);
    LONG b = reference ? m_baseHeight : m_recordBase;
    if (reference && b == 0) b = kDefaultDiscBase;
    // The two faces of the disc lie on either side of the x axis.
    for (int i = 0; i < n; ++i) {
        m_plotX[i] = points[i].x / d;
        const double h = (static_cast<double>(b) - points[i].z) / d;
        m_plotY[i] = side == 1 ? h : -h;
    }
    SetSeries(series, n, m_plotY);
    m_chart.ShowSeries(series, TRUE, FALSE);
}

void CJournalViewDlg::ShowQodSeries()
{
    for (int s = 0; s < 6; ++s) m_chart.ShowSeries(s, TRUE, FALSE);
}

// ---------------------------------------------------------------- chart views

void CJournalViewDlg::ShowProfileView()
{
    const double d = m_units.divisor;
    if (m_params.option6 == 1) {
        m_chart.SetXRange(0, 140000 / d, FALSE);
        m_chart.SetYRange(0, 50000 / d, FALSE);
        m_chart.SetYDownward(TRUE);
    } else {
        m_chart.SetXRange(-75000 / d, 75000 / d, FALSE);
        m_chart.SetYRange(-15000 / d, 35000 / d, FALSE);
        m_chart.SetYDownward(FALSE);
    }
    m_chart.SetYDownwardShifted(TRUE);
    for (int s = 0; s < 6; ++s) m_chart.ShowSeries(s, s < 4, FALSE);
    m_chart.Show(SW_HIDE, FALSE);
}

void CJournalViewDlg::ShowDeviationView()
{
    const double d = m_units.divisor;
    if (m_params.option6 == 1)
        m_chart.SetXRange(0, 140000 / d, FALSE);
    else
        m_chart.SetXRange(-75000 / d, 75000 / d, FALSE);
    const double span = m_maxAbsDeviation + 100;
    m_chart.SetYRange(-span / d, span / d, FALSE);
    m_chart.SetYDownward(FALSE);
    m_chart.SetYDownwardShifted(TRUE);
    for (int s = 0; s < 6; ++s) m_chart.ShowSeries(s, s >= 4, FALSE);
    m_chart.Show(SW_HIDE, FALSE);
}

void CJournalViewDlg::ApplyChartView()
{
    if (m_view == 0)
        ShowDeviationView();
    else
        ShowProfileView();
}

// ---------------------------------------------------------------- showing a record

void CJournalViewDlg::ClearShownRecord()
{
    // Nothing of an earlier record survives: not its profile, key points,
    // values or deviation.
    m_count = m_count2 = 0;
    std::memset(m_points, 0, sizeof m_points);
    std::memset(m_points2, 0, sizeof m_points2);
    m_keys = ProfileKeyPoints{};
    m_keys2 = ProfileKeyPoints{};
    m_result = WheelResult{};
    m_discResult = DiscResult{};
    m_deviationCount = 0;
    m_minDeviation = m_maxDeviation = m_maxAbsDeviation = 0;
    m_positiveArea = m_negativeArea = 0;
    m_shownRow = -1;
    if (!m_chart.m_hWnd) return;
    const int first = m_disc ? 2 : 1;
    for (int s = first; s < 6; ++s)
        if (m_disc || s != 2) SetSeries(s, 0, m_plotY);
}

void CJournalViewDlg::ShowRecord(int row)
{
    if (m_disc)
        ShowQodRecord(row);
    else
        ShowQavRecord(row);
}

void CJournalViewDlg::ShowQavRecord(int row)
{
    ClearShownRecord();
    if (!m_qavRecords || row < 0 || row >= m_rowCount) return;
    const QavJournalRecord& record = m_qavRecords[m_rowMap[row]];
    m_paramFile.CalcSettingsFromQavRecord(&m_result, record);
    // The evaluation may mark its own intersection on the reference's key
    // points: it works on a copy, so the loaded reference stays as it was
    // for every record.
    m_shownRefKeys = m_refKeys;
    m_wheelCalc.PrepareReference(record.profileZ, record.stepRegister, record.firstX, m_headSettings, m_limits,
                                 &m_refCount, m_refPoints, &m_shownRefKeys, &m_count, m_points, &m_keys, &m_result,
                                 0);
    m_result.values[22] = GetQavRecordValue(record, 22);
    m_result.values[23] = GetQavRecordValue(record, 23);
    LONG shift = 0, offset = 0;
    if (m_params.option6 != 1) {
        offset = m_headSettings.dimensions[DIM_L2];
        shift = static_cast<LONG>(static_cast<long long>(m_result.values[0]) - m_refResult.values[0]);
    }
    m_wheelCalc.CompareWithReference(m_count, m_points, m_refCount, m_refPoints, shift, offset, &m_deviationCount,
                                     m_deviations, &m_minDeviation, &m_maxDeviation, &m_maxAbsDeviation,
                                     kCompareStep);
    // Profiles that do not overlap give no rows, and no extremes either.
    if (m_deviationCount == 0) m_minDeviation = m_maxDeviation = m_maxAbsDeviation = 0;
    m_wheelCalc.DeviationAreas(m_deviationCount, m_deviations, &m_positiveArea, &m_negativeArea);
    m_chart.ZoomIn(0, FALSE);
    m_chart.ZoomOut(0, FALSE);
    PlotQavSeries(0, m_refCount, m_refPoints, true);
    PlotQavSeries(1, m_count, m_points, false);
    PlotQavSeries(2, m_refCount > 0 ? kKeyPointCount : 0, m_shownRefKeys.points, true);
    PlotQavSeries(3, m_count > 0 ? kKeyPointCount : 0, m_keys.points, false);
    PlotQavSeries2(m_deviationCount, m_deviations);
    ApplyChartView();
    m_recordList.SelectItem(row);
    m_shownRow = row;
}

void CJournalViewDlg::ShowQodRecord(int row)
{
    ClearShownRecord();
    if (!m_qodRecords || row < 0 || row >= m_rowCount) return;
    const QodJournalRecord& record = m_qodRecords[m_rowMap[row]];
    // Each disc record names its own reference: the one of the record shown
    // before never stands in for a missing one.
    LoadReference(record.referName, JOURNAL_DISC_DEVICE);
    LONG last = 0;
    m_discCalc.FindMinima(m_refCount, m_refPoints, nullptr, nullptr, nullptr, &last);
    m_baseHeight = last;
    m_paramFile.CalcSettingsFromQodRecord(&m_discResult, record);
    // A side the record does not hold keeps its stored values.
    const DWORD countA = Bounded(record.countA), countB = Bounded(record.countB);
    if (countA > 0)
        m_discCalc.Evaluate(record.profileA, static_cast<DWORD>(record.stepRegisterA), record.firstXA, countA,
                            m_discSettings, m_limits, &m_refCount, m_refPoints, &m_count, m_points, &m_keys,
                            &m_discResult, 1);
    if (countB > 0)
        m_discCalc.Evaluate(record.profileB, static_cast<DWORD>(record.stepRegisterB), record.firstXB, countB,
                            m_discSettings, m_limits, &m_refCount, m_refPoints, &m_count2, m_points2, &m_keys2,
                            &m_discResult, 2);
    m_discCalc.EvaluateBothSides(m_count, m_points, m_count2, m_points2, m_refCount, m_refPoints, &m_keys, &m_keys2,
                                 m_discSettings, &m_discResult, 0);
    m_discResult.values[6] = GetQodRecordValue(record, 6);
    m_discCalc.CheckTolerances(&m_discResult, m_limits);
    // The record's own reference sets the base: the range follows it, so a
    // reference on the other side of the axis than the settings' one still
    // keeps both faces on the chart. Without one the base is 0, and its range
    // shows nothing of the disc: the record's sides give their own.
    if (m_refCount > 0) {
        m_recordBase = m_baseHeight;
        SetDiscChartRanges(m_chart, m_baseHeight, m_baseHeight, m_units.divisor);
    } else {
        const DiscSide side1{m_count, m_points}, side2{m_count2, m_points2};
        m_recordBase = MeasuredDiscBase(side1, side2);
        SetMeasuredDiscChartRanges(m_chart, m_recordBase, side1, side2, m_units.divisor);
    }
    m_chart.ZoomIn(0, FALSE);
    m_chart.ZoomOut(0, FALSE);
    PlotQodSeries(0, m_refCount, m_refPoints, 1, true);
    PlotQodSeries(1, m_refCount, m_refPoints, 2, true);
    PlotQodSeries(2, m_count, m_points, 1, false);
    PlotQodSeries(3, m_count2, m_points2, 2, false);
    PlotQodSeries(4, m_count > 0 ? 1 : 0, m_keys.points, 1, false);
    PlotQodSeries(5, m_count2 > 0 ? 1 : 0, m_keys2.points, 2, false);
    ShowQodSeries();
    m_recordList.SelectItem(row);
    m_shownRow = row;
}

// ---------------------------------------------------------------- commands of the record view

void CJournalViewDlg::OnViewCommand()
{
    if (m_view == 1) {
        m_view = 0;
        m_chartButtons[3].Attach(m_hWnd, m_hInstance, kViewId, 705, 706, 0);
        ShowDeviationView();
    } else {
        m_view = 1;
        m_chartButtons[3].Attach(m_hWnd, m_hInstance, kViewId, 703, 704, 0);
        ShowProfileView();
    }
    if (m_mode == 1) m_chart.Show(SW_SHOW, TRUE);
    if (m_chartButtons[3].m_hWnd) InvalidateRect(m_chartButtons[3].m_hWnd, nullptr, FALSE);
    const RECT values{170, 52, 270, 80};
    InvalidateRect(m_hWnd, &values, FALSE);
}

void CJournalViewDlg::PaintValues(HDC dc)
{
    std::u16string caption = m_language.GetText(kTextArea);
    caption += u"(";
    caption += m_language.GetText(m_units.unitTextId);
    caption += u"^2)";
    m_paint.DrawCaption(m_hWnd, dc, 170, 52, 0, caption.c_str(), 13, 5, JOURNAL_BLACK, FALSE, TRUE, 0);
    WCHAR text[32];
    const double factor = m_units.inches ? kSquareInch : 1.0;
    const WCHAR* format = m_units.inches ? u"%.4f" : u"%.2f";
    swprintf(text, 32, format, m_positiveArea / factor);
    m_paint.DrawCaption(m_hWnd, dc, 170, 67, 0, text, 13, 5, JOURNAL_GREEN, FALSE, TRUE, 0);
    swprintf(text, 32, format, m_negativeArea / factor);
    m_paint.DrawCaption(m_hWnd, dc, 210, 67, 0, text, 13, 5, JOURNAL_BLUE, FALSE, TRUE, 0);
}

void CJournalViewDlg::SaveAsReference()
{
    const int selected = TakeSelection();
    if (selected == -1) return;
    // The profile written is the selected record's, evaluated now if it is
    // not the one shown.
    if (m_shownRow != selected) {
        ShowRecord(selected);
        FillResultList();
    }
    // A record without a profile (a gauge reading) has nothing to save: the
    // operator is told why, before any name is asked.
    if (m_count == 0) {
        ShowMessage(MESSAGE_NOTICE, kTextNoProfile);
        Reselect();
        return;
    }
    WCHAR prompt[KEYBOARD_TEXT_CHARS];
    WCHAR initial[KEYBOARD_TEXT_CHARS];
    qplat::CopyField(prompt, KEYBOARD_TEXT_CHARS, m_language.GetText(kTextProfileName));
    qplat::CopyField(initial, KEYBOARD_TEXT_CHARS, m_language.GetText(kTextDefaultReference));
    WCHAR name[KEYBOARD_TEXT_CHARS];
    if (AskText(m_hInstance, m_hWnd, 1, prompt, initial, name, KEYBOARD_TEXT_CHARS)) {
        const int deviceType = m_params.deviceType;
        // The name becomes a file name in the reference folder and the name
        // line the reference is loaded by (at most 49 characters).
        if (name[0] == 0) {
            ShowMessage(MESSAGE_NOTICE, kTextReferenceNameNeeded);
        } else if (!IsValidFileName(name, kMaxBareNameLength)) {
            ShowMessage(MESSAGE_FAILURE, kTextReferenceNameRefused);
        } else if (!m_referStore.Exists(name, deviceType) ||
                   ShowMessage(MESSAGE_QUESTION, kTextOverwriteReference) == 1) {
            if (!m_referStore.Write(m_hWnd, name, m_points, m_count, deviceType))
                ShowMessage(MESSAGE_FAILURE, SCREEN_SAVE_FAILED);
        }
    }
    Reselect();
}
