// The link monitor's port handling and polling thread.
#include "sensor/LinkMonitor.h"

#include <chrono>
#include <cstring>
#include <memory>

#include "platform/AfxThread.h"
#include "platform/Bluetooth.h"
#include "platform/WinComm.h"
#include "platform/WinText.h"
#include "settings/DeviceSetup.h"

namespace {

std::atomic<LinkMonitorRepaintHook> g_repaintHook{nullptr};

constexpr DWORD kCyclePauseMs = 500;
// How long a stop waits for the thread before giving it up. A pairing or a
// connection to a sensor that is switched off (or a Bluetooth daemon that
// does not answer) holds its call for the pairing's or the page's whole
// time; the screen that stops the monitor does not wait that out.
constexpr auto kStopWait = std::chrono::seconds(1);
constexpr DWORD kPauseSliceMs = 10;
constexpr int kComIndexCount = 10;

bool Held(HANDLE h)
{
    return h != nullptr && h != INVALID_HANDLE_VALUE;
}

bool KnownDeviceType(int type)
{
    return type >= 1 && type <= 4;
}

// "link monitor: sensor 00:12:6f:a0:0b:7c", the start of a diagnosis line.
std::u16string AddressText(ULONGLONG address)
{
    WCHAR text[64];
    swprintf(text, 64, u"link monitor: sensor %02x:%02x:%02x:%02x:%02x:%02x",
             static_cast<unsigned>((address >> 40) & 0xFF), static_cast<unsigned>((address >> 32) & 0xFF), static_cast<unsigned>((address >> 24) & 0xFF),
             static_cast<unsigned>((address >> 16) & 0xFF), static_cast<unsigned>((address >> 8) & 0xFF),
             static_cast<unsigned>(address & 0xFF));
    return text;
}

std::u16string ErrorText(DWORD error)
{
    WCHAR text[32];
    swprintf(text, 32, u" (error %lu)", static_cast<ULONG>(error));
    return text;
}

}  // namespace

// What the polling thread shares with the monitor that may give it up. The
// thread holds `busy` whenever it touches the monitor and lets go of it only
// for the Bluetooth calls that may take long; a stop that has waited long
// enough takes `busy` and marks the thread given up, after which the thread
// touches neither the monitor nor its port again and only releases what it
// opened itself.
struct LinkPollRun {
    std::mutex busy;
    bool givenUp = false;  // under busy
};

namespace {

// The run of the polling thread this is; none on every other thread.
thread_local LinkPollRun* t_pollRun = nullptr;

struct LinkPollStart {
    CLinkMonitor* monitor;
    std::shared_ptr<LinkPollRun> run;
};

// Makes a Bluetooth call that may take long without holding the monitor.
// False when the monitor gave the polling thread up meanwhile: the caller
// then releases what it opened and returns without touching the monitor.
template <class Call>
bool OutsideMonitor(Call&& call)
{
    LinkPollRun* run = t_pollRun;
    if (!run) {
        call();
        return true;
    }
    run->busy.unlock();
    call();
    run->busy.lock();
    return !run->givenUp;
}

bool GivenUp()
{
    return t_pollRun && t_pollRun->givenUp;
}

}  // namespace

void SetLinkMonitorRepaintHook(LinkMonitorRepaintHook hook)
{
    g_repaintHook.store(hook);
}

CLinkMonitor::CLinkMonitor()
    : m_owner(nullptr),
      m_comPort(nullptr),
      m_device(nullptr),
      m_run(0),
      m_connected(0),
      m_busy(0),
      m_rssi(0),
      m_battery(255),
      m_mainsSeen(0),
      m_gaugeValue(0),
      m_powerStatus{},
      m_sensorInfo{},
      m_sensorState{},
      m_mainsIndex(0),
      m_mainsRing{},
      m_params{},
      m_thread(nullptr),
      m_stopRequested(false),
      m_cycles(0),
      m_threadId(0)
{
    m_sensorState.charge = 255;
}

CLinkMonitor::~CLinkMonitor()
{
    Stop();
}

void CLinkMonitor::Start(HWND owner)
{
    std::lock_guard<std::mutex> guard(m_threadLock);
    if (m_run.load() && m_thread) {
        // Running: the caller is the screen now shown, so it is the one to
        // repaint (the earlier owner may be gone).
        m_owner.store(owner);
        return;
    }
    // A thread may still cycle after the power-off close, which clears the
    // run flag without waiting: it ends before another one begins.
    JoinThreadLocked();
    m_owner.store(owner);
    m_run.store(1);
    m_stopRequested.store(false);
    std::memset(&m_params, 0, sizeof m_params);
    // A settings-file object of this start: the program folder is looked up
    // now, not when the program-wide monitor was built.
    CParamFile paramFile;
    paramFile.Load(&m_params);
    m_mainsIndex = 0;
    auto run = std::make_shared<LinkPollRun>();
    auto* start = new LinkPollStart{this, run};
    CWinThread* thread = AfxBeginThread(LinkPollThreadProc, start, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!thread) {
        delete start;
        m_run.store(0);
        return;
    }
    thread->m_bAutoDelete = FALSE;
    m_thread = thread;
    m_pollRun = run;
    thread->ResumeThread();
}

void CLinkMonitor::Stop()
{
    std::lock_guard<std::mutex> guard(m_threadLock);
    JoinThreadLocked();
}

void CLinkMonitor::JoinThreadLocked()
{
    m_run.store(0);
    m_stopRequested.store(true);
    if (!m_thread)
        return;
    // The cycle may be waiting on the sensor: abort the read it is in (and
    // any it starts before it sees the request) so the join is prompt.
    // Real time, whatever clock the program's own time runs on.
    const auto began = std::chrono::steady_clock::now();
    for (;;) {
        HANDLE port = m_comPort.load();
        if (Held(port))
            PurgeComm(port, PURGE_RXABORT | PURGE_TXABORT);
        if (WaitForSingleObject(m_thread->m_hThread, 20) != WAIT_TIMEOUT)
            break;
        // Still inside a pairing or a connection: the thread finishes that
        // call on its own, and the screen goes on.
        if (std::chrono::steady_clock::now() - began >= kStopWait && m_pollRun->busy.try_lock()) {
            m_pollRun->givenUp = true;
            m_pollRun->busy.unlock();
            break;
        }
    }
    delete m_thread;
    m_thread = nullptr;
    m_pollRun.reset();
}

bool CLinkMonitor::ThreadRunning() const
{
    return m_thread != nullptr;
}

UINT CLinkMonitor::LinkPollThreadProc(LPVOID param)
{
    std::unique_ptr<LinkPollStart> start(static_cast<LinkPollStart*>(param));
    const std::shared_ptr<LinkPollRun> run = start->run;
    CLinkMonitor* monitor = start->monitor;
    std::lock_guard<std::mutex> hold(run->busy);
    if (run->givenUp)
        return 0;
    t_pollRun = run.get();
    monitor->m_threadId.store(GetCurrentThreadId());
    // A cycle that comes back given up leaves the monitor alone.
    while (monitor->m_run.load() && !monitor->StopRequested() && monitor->RunCycle()) {
    }
    t_pollRun = nullptr;
    return 0;
}

bool CLinkMonitor::CurrentAddress(ULONGLONG* address)
{
    const ParamBTRecord* record = SensorRecordOf(&m_params, m_params.deviceType);
    if (!record)
        return false;
    // The stored field may lack its terminator: convert a bounded copy.
    WCHAR text[sizeof record->address / sizeof record->address[0] + 1];
    std::memcpy(text, record->address, sizeof record->address);
    text[sizeof record->address / sizeof record->address[0]] = 0;
    *address = HexTextToNumber(text);
    return true;
}

void CLinkMonitor::SetCharge(BYTE charge)
{
    std::lock_guard<std::mutex> guard(m_stateLock);
    m_sensorState.charge = charge;
}

void CLinkMonitor::MarkLinkDown()
{
    m_connected.store(0);
    SetCharge(255);
}

void CLinkMonitor::Diagnose(const std::u16string& line)
{
    {
        std::lock_guard<std::mutex> guard(m_stateLock);
        if (line == m_lastDiagnosis)
            return;
        m_lastDiagnosis = line;
    }
    OutputDebugStringW((line + u"\n").c_str());
}

bool CLinkMonitor::RunCycle()
{
    m_busy.store(1);
    std::memset(&m_powerStatus, 0, sizeof m_powerStatus);
    GetSystemPowerStatusEx2(&m_powerStatus, sizeof m_powerStatus, TRUE);
    m_battery.store(m_powerStatus.BatteryLifePercent);
    m_mainsSeen.store(PushAcLineSample(m_powerStatus.ACLineStatus == AC_LINE_ONLINE ? 1 : 0));

    if (!m_connected.load() && !StopRequested()) {
        ClosePort();
        Connect();
        if (GivenUp())
            return false;
        m_rssi.store(0);
        SetCharge(255);
    }

    ULONGLONG address = 0;
    const bool haveAddress = CurrentAddress(&address);
    if (!Held(m_comPort.load())) {
        // No port (closed since the last poll, or the reconnection failed):
        // whatever the last poll said, the link is down, so the next cycle
        // reconnects.
        m_connected.store(0);
    } else if (!StopRequested()) {
        switch (m_params.deviceType) {
        case 1:
        case 4: {
            SensorState state = GetSensorState();
            const BOOL converted = GetSensorInfo().firmwareVersion >= SENSOR_FW_CONVERTED_STATE;
            const int ok = m_link.ReadState(m_comPort.load(), 1, &state, converted);
            // A poll that Stop cut short says nothing about the sensor.
            if (!ok && StopRequested())
                break;
            {
                std::lock_guard<std::mutex> guard(m_stateLock);
                m_sensorState = state;
            }
            m_connected.store(ok ? 1 : 0);
            break;
        }
        case 2:
        case 3: {
            DWORD value = m_gaugeValue.load();
            const int ok = m_byteLink.ReadValue(m_comPort.load(), &value);
            if (!ok && StopRequested())
                break;
            if (ok)
                m_gaugeValue.store(value);
            m_connected.store(ok ? 1 : 0);
            break;
        }
        default:
            // Nothing to poll: the link cannot be proved up.
            m_connected.store(0);
            break;
        }
    }
    if (!m_connected.load())
        SetCharge(255);

    // Signal strength only for a device type that names a sensor.
    if (haveAddress) {
        BYTE rssi = m_rssi.load();
        BT_ADDR a = address;
        int rc = ERROR_SUCCESS;
        if (!OutsideMonitor([&] { rc = BthReadRSSI(&a, &rssi); }))
            return false;
        if (rc == ERROR_SUCCESS)
            m_rssi.store(rssi);
    }

    if (LinkMonitorRepaintHook hook = g_repaintHook.load())
        hook(m_owner.load());

    // The pause between cycles, cut short by Stop.
    for (DWORD waited = 0; waited < kCyclePauseMs && !StopRequested(); waited += kPauseSliceMs)
        Sleep(kPauseSliceMs);
    m_cycles.fetch_add(1);
    m_busy.store(0);
    return true;
}

int CLinkMonitor::Connect()
{
    const int type = m_params.deviceType;
    if (!KnownDeviceType(type))
        return 0;
    ULONGLONG address = 0;
    CurrentAddress(&address);
    const ParamBTRecord* record = SensorRecordOf(&m_params, type);

    if (Held(m_comPort.load()) || m_device.load())
        ClosePort();
    if (HANDLE left = m_device.exchange(nullptr))
        DeregisterDevice(left);

    // The PIN goes to the stack as four bytes (the low byte of each
    // character) and a terminating zero.
    unsigned char pin[5];
    for (int i = 0; i < 4; ++i)
        pin[i] = static_cast<unsigned char>(record->pin[i] & 0xFF);
    pin[4] = 0;
    BT_ADDR btAddress = address;
    int rc = ERROR_SUCCESS;
    if (!OutsideMonitor([&] { rc = BthSetPIN(&btAddress, 4, pin); }))
        return 0;
    if (rc == ERROR_SERVICE_NOT_ACTIVE) {
        // No stack to store a PIN in (no Bluetooth daemon, no adapter, the
        // radio off): the PIN is not at fault, and the operator looks in the
        // wrong place when told so.
        Diagnose(AddressText(address) + u": Bluetooth is not available (no Bluetooth service or adapter, or the radio "
                                        u"is off), so the sensor cannot be paired" +
                 ErrorText(static_cast<DWORD>(rc)));
        return 0;
    }
    if (rc != ERROR_SUCCESS) {
        Diagnose(AddressText(address) + u": the Bluetooth stack refused the PIN, so the sensor cannot be paired" +
                 ErrorText(static_cast<DWORD>(rc)));
        return 0;
    }

    PORTEMUPortParams params;
    std::memset(&params, 0, sizeof params);
    params.channel = 1;
    params.device = address;
    params.uiportflags = RFCOMM_PORT_FLAGS_REMOTE_DCB;

    // The registration and the port stay this call's own until both are
    // had: a thread given up meanwhile releases them itself.
    int index = -1;
    DWORD refusal = ERROR_SUCCESS;
    HANDLE registration = nullptr;
    for (int i = 0; i < kComIndexCount; ++i) {
        if (!OutsideMonitor([&] {
                registration =
                    RegisterDevice(u"COM", static_cast<DWORD>(i), u"btd.dll", reinterpret_cast<DWORD_PTR>(&params));
                if (!registration) {
                    refusal = GetLastError();
                    Sleep(50);
                }
            })) {
            if (registration)
                DeregisterDevice(registration);
            return 0;
        }
        if (registration) {
            index = i;
            break;
        }
    }
    if (index < 0) {
        Diagnose(AddressText(address) + u": no serial port COM0 to COM9 could be registered for the sensor" +
                 ErrorText(refusal));
        return 0;
    }

    HANDLE port = nullptr;
    int opened = 0;
    if (!OutsideMonitor([&] { opened = CSensorLink().OpenPort(index, &port); })) {
        if (opened)
            CloseHandle(port);
        DeregisterDevice(registration);
        return 0;
    }
    if (!opened) {
        DeregisterDevice(registration);
        return 0;
    }
    m_device.store(registration);
    m_comPort.store(port);
    if (StopRequested())
        return 0;
    m_link.FlushInput(port);
    if (StopRequested())
        return 0;
    SensorInfo info{};
    const int ok = m_link.Identify(port, 1, &info);
    if (ok) {
        std::lock_guard<std::mutex> guard(m_stateLock);
        m_sensorInfo = info;
        // The next failure is news again.
        m_lastDiagnosis.clear();
    }
    return ok;
}

void CLinkMonitor::ClosePort()
{
    MarkLinkDown();
    HANDLE port = m_comPort.load();
    PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    if (!Held(port))
        return;
    SetCommBreak(port);
    EscapeCommFunction(port, SETBREAK);
    ClearCommBreak(port);
    // Each handle is taken out before it is released, so a close racing the
    // power-off path releases it once.
    if (HANDLE registration = m_device.exchange(nullptr))
        DeregisterDevice(registration);
    HANDLE taken = m_comPort.exchange(nullptr);
    if (Held(taken))
        CloseHandle(taken);
}

void CLinkMonitor::ClosePortQuiet()
{
    m_run.store(0);
    m_stopRequested.store(true);
    MarkLinkDown();
    PurgeComm(m_comPort.load(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    if (HANDLE registration = m_device.exchange(nullptr))
        DeregisterDevice(registration);
    HANDLE taken = m_comPort.exchange(nullptr);
    if (Held(taken))
        CloseHandle(taken);
}

DWORD CLinkMonitor::PushAcLineSample(BYTE sample)
{
    m_mainsRing[m_mainsIndex] = sample;
    m_mainsIndex = static_cast<BYTE>(m_mainsIndex >= 4 ? 0 : m_mainsIndex + 1);
    for (BYTE s : m_mainsRing) {
        if (s == 1)
            return 1;
    }
    return 0;
}

void CLinkMonitor::MarkDisconnected()
{
    m_connected.store(0);
    std::lock_guard<std::mutex> guard(m_stateLock);
    // The first four bytes of the state (the charge and what follows it in
    // the record) read as "no reading".
    std::memset(&m_sensorState, 0xFF, 4);
}

SensorState CLinkMonitor::GetSensorState() const
{
    std::lock_guard<std::mutex> guard(m_stateLock);
    return m_sensorState;
}

SensorInfo CLinkMonitor::GetSensorInfo() const
{
    std::lock_guard<std::mutex> guard(m_stateLock);
    return m_sensorInfo;
}
