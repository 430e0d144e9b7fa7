// The measuring launchers: the road of one measurement of the current device
// type, from the start screen's measure command. A launcher prepares the
// measuring controller for the sensor on the current link, then opens the
// measuring screen for a single measurement or, in scheme mode, loads the
// scheme, lets the operator fill in the record's data and opens the series.
//
// The start screen has stopped the card watch and the link monitor before a
// launcher runs; the launcher talks to the head while the monitor is stopped
// and starts the monitor again once the head is ready, because the measuring
// screens expect it to run. The record of the road is the launcher's own,
// cleared when it starts; the screens work on copies of it.
#include <memory>

#include "platform/WinText.h"
#include "screens/MeasureDlg.h"
#include "screens/RecordInfoDlg.h"
#include "screens/SeriesDlg.h"
#include "shell/ProgramObjects.h"
#include "shell/Shell.h"

namespace {

constexpr int kMeasureSlot = 5;
constexpr int kTextNoHead = 50008;
constexpr int kTextHeadUnreadable = 50071;
constexpr int kTextNoHeadSettings = 50001;
constexpr int kTextNoScheme = 50053;
constexpr int kDiscDevice = 4;

// A failure of the road: the start screen draws its buttons again behind
// the notice.
void Notice(HWND start, int textId)
{
    g_mainScreenActive = 1;
    g_messageBox.Show(g_hInstance, start, MESSAGE_FAILURE, g_language.GetText(textId));
}

// The end of every road: the progress bar of the head set-up, which stands
// on the start screen, goes with it, and the measurement button shows again
// whether the link is up.
void EndRoad(HWND start)
{
    HWND bar = g_measureController.m_progress;
    if (bar && IsWindow(bar) && GetParent(bar) == start) DestroyWindow(bar);
    if (!bar || !IsWindow(bar)) g_measureController.m_progress = nullptr;
    HWND button = g_mainButtons[kMeasureSlot].m_hWnd;
    if (button && IsWindow(button)) InvalidateRect(button, nullptr, FALSE);
}

// The scheme named in the settings into g_scheme, its order built with the
// first position current. False when it cannot be loaded or walked.
bool LoadScheme(const WCHAR (&field)[PARAM_NAME_CHARS], int deviceType)
{
    WCHAR name[PARAM_NAME_CHARS + 1] = {};
    qplat::CopyField(name, PARAM_NAME_CHARS + 1, qplat::FieldText(field, PARAM_NAME_CHARS).c_str());
    int items = 0, cars = 0, orderType = 0;
    if (!g_schemeFile.Load(name, g_scheme.cars, &items, &cars, &orderType, deviceType)) return false;
    return g_scheme.BuildOrder(orderType, cars) != 0;
}

// What the three launchers share once the head is ready: the single
// measurement, or the scheme, the record data and the series.
void RunRoad(HWND start, QavJournalRecord* qav, QodJournalRecord* qod)
{
    const bool disc = qod != nullptr;
    if (g_paramBlock.measureMode != 0) {
        g_measureController.ResetResults(0);
        RunScreen<CMeasureDlg>(g_hInstance, start, &g_measureController, qav, qod, &g_linkMonitor, BYTE{0});
        return;
    }
    const bool loaded = disc ? LoadScheme(g_paramBlock.qodSchemeName, kDiscDevice)
                             : LoadScheme(g_paramBlock.qavSchemeName, 0);
    if (!loaded) {
        Notice(start, kTextNoScheme);
        return;
    }
    if (disc)
        g_scheme.FillRecordNamesQod(qod);
    else
        g_scheme.FillRecordNames(qav);
    if (!RunScreen<CRecordInfoDlg>(g_hInstance, start, qav, qod)) return;
    RunScreen<CSeriesDlg>(g_hInstance, start, &g_measureController, qav, qod, &g_scheme, &g_linkMonitor);
}

// The laser heads' road: the head identified and its settings read while
// the monitor is stopped, then the monitor polls again and the road runs.
bool PrepareHead(HWND start, void (CMeasureController::*loadTolerances)(),
                 int (CMeasureController::*readSettings)(HWND, HINSTANCE))
{
    if (!g_measureController.AttachPort(g_linkMonitor.m_comPort.load())) {
        Notice(start, g_measureController.m_headAnswerUnreadable ? kTextHeadUnreadable : kTextNoHead);
        return false;
    }
    (g_measureController.*loadTolerances)();
    g_measureController.ApplyParams();
    if (!(g_measureController.*readSettings)(start, g_hInstance)) {
        Notice(start, kTextNoHeadSettings);
        return false;
    }
    g_linkMonitor.Start(start);
    return true;
}

}  // namespace

void RunMeasuringType1(HWND start)
{
    auto record = std::make_unique<QavJournalRecord>();
    if (PrepareHead(start, &CMeasureController::LoadQavTolerances, &CMeasureController::ReadHeadSettings))
        RunRoad(start, record.get(), nullptr);
    EndRoad(start);
}

void RunMeasuringType2And3(HWND start)
{
    auto record = std::make_unique<QavJournalRecord>();
    // The gauges answer single-byte commands: no head to identify or read.
    g_measureController.SetPortOnly(g_linkMonitor.m_comPort.load());
    g_measureController.LoadQavTolerances();
    g_measureController.ApplyParams();
    g_linkMonitor.Start(start);
    RunRoad(start, record.get(), nullptr);
    EndRoad(start);
}

void RunMeasuringType4(HWND start)
{
    auto record = std::make_unique<QodJournalRecord>();
    if (PrepareHead(start, &CMeasureController::LoadQodTolerances, &CMeasureController::ReadQodHeadSettings))
        RunRoad(start, nullptr, record.get());
    EndRoad(start);
}
