// The measuring controller's construction, the set-up the measuring launchers
// run before a measuring screen opens, and the progress bar.
#include "measurement/ParamSave.h"

#include <new>

#include "platform/WinCtrl.h"
#include "platform/WinText.h"
#include "platform/WinUser.h"

namespace {

// The style of the bar: child, visible, bordered, smooth.
constexpr DWORD kProgressStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | PBS_SMOOTH;
static_assert(kProgressStyle == 0x50800001, "the bar's style word");

constexpr BYTE kHead1 = 1;
constexpr BYTE kHead2 = 2;

// Head settings of device type 1: entries 0 to 14, then entry 35.
constexpr int kHeadSettingsEntries = 15;
constexpr int kHeadSettingsLateEntry = 35;

bool UsablePort(HANDLE port)
{
    return port != nullptr && port != INVALID_HANDLE_VALUE;
}

// Tolerance-set names are compared exactly, but never past their fields.
bool SameName(const WCHAR* a, const WCHAR* b)
{
    return wcsncmp(a, b, CATALOG_NAME_CHARS) == 0;
}

}  // namespace

CMeasureController::CMeasureController() = default;

CMeasureController::~CMeasureController()
{
    delete[] m_qavRecords;
    delete[] m_qodRecords;
}

void CMeasureController::ReloadParams()
{
    m_params = ParamBlock{};
    if (!m_paramFile.Load(&m_params))
        m_params = ParamBlock{};
}

// ---------------------------------------------------------------- ports

void CMeasureController::SetPort(HANDLE port)
{
    if (port != m_port)
        m_port = port;
}

int CMeasureController::SetPortOnly(HANDLE port)
{
    m_port = port;
    return 1;
}

int CMeasureController::IdentifyHead(BYTE address, SensorInfo* info)
{
    SensorInfo answer{};
    if (!m_link.Identify(m_port, address, &answer))
        return 0;
    // A garbled answer has the right length too; kept, its firmware and
    // range would spoil every later run of a sound head.
    if (!CSensorLink::PlausibleInfo(answer)) {
        m_headAnswerUnreadable = TRUE;
        return 0;
    }
    *info = answer;
    return 1;
}

int CMeasureController::AttachPort(HANDLE port)
{
    ReloadParams();
    m_headAnswerUnreadable = FALSE;
    if (!UsablePort(port))
        return 0;
    m_port = port;
    if (m_headsPort && port != m_headsPort)
        ForgetHeads();
    if (!m_head1Identified) {
        if (!IdentifyHead(kHead1, &m_head1Info))
            return Learned(0);
        m_head1Identified = TRUE;
    }
    if (!m_head2Identified && m_params.deviceType == 4 && m_params.discHeadMode == 2) {
        if (!IdentifyHead(kHead2, &m_head2Info))
            return Learned(0);
        m_head2Identified = TRUE;
    }
    m_headsPort = port;
    return 1;
}

void CMeasureController::ForgetHeads()
{
    m_head1Identified = FALSE;
    m_head1SettingsRead = FALSE;
    m_head2Identified = FALSE;
    m_head2SettingsRead = FALSE;
}

int CMeasureController::SetUpHeadsOfThisLink(HWND parent, HINSTANCE instance, bool disc)
{
    // Heads never set up here (the launcher does that) or set up over this
    // very link: nothing to do.
    if (!m_headsPort || m_port == m_headsPort)
        return 1;
    const int ok =
        AttachPort(m_port) && (disc ? ReadQodHeadSettings(parent, instance) : ReadHeadSettings(parent, instance));
    // Not set up: the next run tries again rather than measure with what a
    // half-done set-up left.
    if (!ok)
        m_headsPort = INVALID_HANDLE_VALUE;
    return ok;
}

int CMeasureController::Learned(int result)
{
    if (!result)
        ForgetHeads();
    return result;
}

int CMeasureController::MeasureWheel(HWND parent, HINSTANCE instance, BYTE mode, BYTE addToAverage)
{
    if (!SetUpHeadsOfThisLink(parent, instance, false))
        return Learned(0);
    return Learned(RunWheel(parent, instance, mode, addToAverage));
}

int CMeasureController::MeasureDisc(HWND parent, HINSTANCE instance, BYTE side)
{
    if (!SetUpHeadsOfThisLink(parent, instance, true))
        return Learned(0);
    return Learned(RunDisc(parent, instance, side));
}

// ---------------------------------------------------------------- tolerances

void CMeasureController::LoadQavTolerances()
{
    ReloadParams();
    const int n = m_qavToleranceFile.GetCount();
    if (n <= 0)
        return;
    m_qavRecords = new (std::nothrow) DopuskQavRecord[n]();
    if (!m_qavRecords)
        return;
    const int read = m_qavToleranceFile.ReadAll(m_qavRecords, n) ? n : 0;
    for (int i = 0; i < read; ++i) {
        if (SameName(m_qavRecords[i].name, m_params.qavToleranceName)) {
            m_qavToleranceFile.CopyRecord(m_wheelLimits, m_qavRecords[i]);
            break;
        }
    }
    delete[] m_qavRecords;
    m_qavRecords = nullptr;
}

void CMeasureController::LoadQodTolerances()
{
    ReloadParams();
    const int n = m_qodToleranceFile.GetCount();
    if (n <= 0)
        return;
    m_qodRecords = new (std::nothrow) DopuskQodRecord[n]();
    if (!m_qodRecords)
        return;
    const int read = m_qodToleranceFile.ReadAll(m_qodRecords, n) ? n : 0;
    for (int i = 0; i < read; ++i) {
        if (SameName(m_qodRecords[i].name, m_params.qodToleranceName)) {
            m_qodToleranceFile.CopyRecord(m_discLimits, m_qodRecords[i]);
            break;
        }
    }
    delete[] m_qodRecords;
    m_qodRecords = nullptr;
}

// ---------------------------------------------------------------- settings

void CMeasureController::ApplyParams()
{
    ReloadParams();
    // A reference belongs to one device family: whatever was loaded before
    // is dropped, so a missing file means "no reference" and a wheel
    // reference never drives a disc run.
    m_refCount = 0;
    m_refKeys = ProfileKeyPoints{};
    m_refResult = WheelResult{};
    WCHAR name[PARAM_NAME_CHARS + 1] = {};
    const BYTE type = m_params.deviceType;
    if (type >= 1 && type <= 3) {
        m_paramFile.WheelCalcSettingsFromBlock(&m_headSettings, m_params);
        wcsncpy(name, m_params.qavReferName, PARAM_NAME_CHARS);
        name[PARAM_NAME_CHARS] = 0;
        m_referStore.Load(name, m_refPoints, &m_refCount, type);
        if (m_refCount > kMaxProfilePoints)
            m_refCount = kMaxProfilePoints;
        if (m_refCount > 0)
            m_wheelCalc.Evaluate(m_refCount, m_refPoints, &m_refKeys, 0, nullptr, nullptr, m_headSettings,
                                 &m_refResult, 1);
    } else if (type == 4) {
        m_paramFile.DiskCalcSettingsFromBlock(&m_discSettings, m_params);
        wcsncpy(name, m_params.qodReferName, PARAM_NAME_CHARS);
        name[PARAM_NAME_CHARS] = 0;
        m_referStore.Load(name, m_refPoints, &m_refCount, type);
        if (m_refCount > kMaxProfilePoints)
            m_refCount = kMaxProfilePoints;
    }
}

int CMeasureController::ReadRegisterWords(BYTE address, const HeadRegister* table, int first, int count,
                                          SHORT* words)
{
    for (int i = first; i < first + count; ++i) {
        if (!m_link.ReadRegisterWord(m_port, address, static_cast<BYTE>(table[i].reg), table[i].width, &words[i])) {
            ShowProgress(FALSE);
            return 0;
        }
        SetProgress(i);
    }
    return 1;
}

int CMeasureController::ReadHeadSettings(HWND parent, HINSTANCE instance)
{
    ReloadParams();
    if (!m_head1SettingsRead) {
        m_link.FlushInput(m_port);
        CreateProgress(parent, instance, kHeadSettingsEntries, kSetupBarX, kSetupBarY, kSetupBarWidth,
                       kSetupBarHeight);
        if (!ReadRegisterWords(kHead1, g_headRegisterTable, 0, kHeadSettingsEntries, m_head1Settings.words))
            return Learned(0);
        // The late entry is read for completeness; a head without it still measures.
        const HeadRegister& late = g_headRegisterTable[kHeadSettingsLateEntry];
        m_link.ReadRegisterWord(m_port, kHead1, static_cast<BYTE>(late.reg), late.width,
                                &m_head1Settings.words[kHeadSettingsLateEntry]);
        ShowProgress(FALSE);
    }
    m_head1SettingsRead = TRUE;
    // Words 11 and 12 bound the profile's samples: a negative one cannot be used.
    if (m_head1Settings.words[11] < 0 || m_head1Settings.words[12] < 0)
        return Learned(0);
    m_paramFile.WheelCalcSettingsFromBlock(&m_headSettings, m_params);
    return 1;
}

int CMeasureController::ReadQodHeadSettings(HWND parent, HINSTANCE instance)
{
    ReloadParams();
    CreateProgress(parent, instance, kQodRegisterCount, kSetupBarX, kSetupBarY, kSetupBarWidth, kSetupBarHeight);
    if (!m_head1SettingsRead) {
        SetProgress(0);
        m_link.FlushInput(m_port);
        if (!ReadRegisterWords(kHead1, g_qodRegisterTable, 0, kQodRegisterCount, m_head1Settings.words))
            return Learned(0);
        m_head1SettingsRead = TRUE;
    }
    if (!m_head2SettingsRead && m_params.discHeadMode == 2 && m_params.deviceType == 4) {
        SetProgress(0);
        m_link.FlushInput(m_port);
        if (!ReadRegisterWords(kHead2, g_qodRegisterTable, 0, kQodRegisterCount, m_head2Settings))
            return Learned(0);
        m_head2SettingsRead = TRUE;
    }
    ShowProgress(FALSE);
    m_paramFile.DiskCalcSettingsFromBlock(&m_discSettings, m_params);
    return 1;
}

// ---------------------------------------------------------------- progress bar

void CMeasureController::CreateProgress(HWND parent, HINSTANCE instance, int range, int x, int y, int width,
                                        int height)
{
    // Only one bar is ever in use: the previous one (hidden since its
    // operation ended) is not left to pile up under the parent.
    if (m_progress && IsWindow(m_progress))
        DestroyWindow(m_progress);
    m_progress = CreateWindowExW(0, PROGRESS_CLASSW, u"", kProgressStyle, x, y, width, height, parent, nullptr,
                                 instance, nullptr);
    if (!m_progress)
        return;
    SetWindowPos(m_progress, nullptr, x, y, width, height, SWP_SHOWWINDOW);
    SendMessageW(m_progress, PBM_SETRANGE, 0, MAKELPARAM(0, range));
    ShowWindow(m_progress, SW_SHOW);
}

void CMeasureController::ShowProgress(BOOL show)
{
    if (m_progress && IsWindow(m_progress))
        ShowWindow(m_progress, show ? SW_SHOW : SW_HIDE);
}

void CMeasureController::SetProgress(int position)
{
    if (m_progress && IsWindow(m_progress))
        SendMessageW(m_progress, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}
