// The link monitor: keeps the Bluetooth link to the current sensor alive on a
// worker thread and keeps the last known battery, mains, link, signal-strength
// and sensor-state values that the start screen paints.
//
// Every 500 ms the thread reads the handheld's power status, reconnects when
// the link is down, polls the sensor (command set A state for device types 1
// and 4, command set B value for types 2 and 3), reads the signal strength
// and asks the owner window to repaint.
//
// Repainting: the sensor library links no window system, so the monitor does
// not invalidate the owner itself. The user-interface layer installs a repaint
// hook once at start (SetLinkMonitorRepaintHook) that invalidates the owner's
// client area without erasing; without a hook the monitor repaints nothing.
//
// Threads: Start and Stop are called from the user-interface thread. Stop
// ends the current cycle early (a pending port read is aborted, the pause is
// cut short) and joins the thread, so no cycle touches the port once Stop has
// returned and the caller may use the COM handle. A thread inside a pairing
// or a connection that has not come back within a second is given up
// instead: it finishes that call on its own, releases what the call opened
// and touches neither the monitor nor its port again, so a screen never
// waits for the sensor's page time. Start first ends any thread still left
// from an earlier run (the power-off close clears the run flag without
// waiting), so at most one thread ever polls the monitor. The indicator
// fields are atomic; the sensor state is copied under a lock (GetSensorState).
//
// "Connected" means a port is open and its last poll was answered: closing
// the port marks the link down, and a cycle that finds no open port reports
// the link down, so the next cycle reconnects.
//
// Diagnosis: a pairing or port registration that fails writes one line of
// debug output (OutputDebugStringW); the same failure repeated by the
// following cycles is not written again until a connection succeeded or the
// failure changed. The platform names the serial device for open failures.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "platform/WinDef.h"
#include "platform/WinKernel.h"
#include "sensor/ByteCmdLink.h"
#include "sensor/SensorLink.h"
#include "settings/ParamFile.h"

class CWinThread;
struct LinkPollRun;

typedef void (*LinkMonitorRepaintHook)(HWND owner);
// Installed by the user-interface layer; nullptr (the default) repaints nothing.
void SetLinkMonitorRepaintHook(LinkMonitorRepaintHook hook);

class CLinkMonitor {
public:
    CLinkMonitor();
    // Stops and joins the thread; the port and its registration are left to
    // the power-off path (ClosePortQuiet) or an explicit ClosePort.
    ~CLinkMonitor();
    CLinkMonitor(const CLinkMonitor&) = delete;
    CLinkMonitor& operator=(const CLinkMonitor&) = delete;

    // While running, only the owner changes: the window that starts the
    // monitor is the one repainted from now on (a screen that took over from
    // a destroyed one). Otherwise ends and joins any earlier thread, keeps the
    // owner, loads the settings copy from the settings file (a failed load
    // leaves it zero) and starts the polling thread.
    void Start(HWND owner);
    // Clears the run flag, wakes the thread and waits until it has ended (or
    // gives it up when it is held inside a pairing or a connection).
    void Stop();

    // Pairs (PIN), registers the Bluetooth serial port, opens it and
    // identifies head 1. 1 when the head answered. A device type outside 1 to
    // 4 gives 0 at once without touching any port.
    int Connect();
    // Purge, break, deregister, close; the link reads as down.
    void ClosePort();
    // The power-off path: run flag off, purge, deregister, close; no waiting
    // (the next Start joins the thread). The link reads as down.
    void ClosePortQuiet();
    // Stores one mains sample in the ring of five; 1 when any of the five is 1.
    DWORD PushAcLineSample(BYTE sample);

    // One cycle of the polling thread (the thread calls it while the run flag
    // is set). False when the monitor gave the polling thread up during the
    // cycle: that thread must not touch the monitor again.
    bool RunCycle();

    // What the settings menu does after the current sensor changed: link down
    // and no sensor reading, so the next cycle reconnects.
    void MarkDisconnected();
    SensorState GetSensorState() const;
    SensorInfo GetSensorInfo() const;
    // The settings copy the monitor runs with (loaded at Start).
    const ParamBlock& Params() const { return m_params; }
    DWORD CycleCount() const { return m_cycles.load(); }
    bool ThreadRunning() const;

    // ---- fields the start screen reads
    std::atomic<HWND> m_owner;
    std::atomic<HANDLE> m_comPort;  // 0 or -1: none
    std::atomic<HANDLE> m_device;   // the Bluetooth serial-port registration; 0 none
    std::atomic<BYTE> m_run;
    std::atomic<BYTE> m_connected;
    std::atomic<BYTE> m_busy;
    std::atomic<BYTE> m_rssi;
    std::atomic<BYTE> m_battery;     // 255 until the first cycle
    std::atomic<DWORD> m_mainsSeen;
    std::atomic<DWORD> m_gaugeValue;
    SYSTEM_POWER_STATUS_EX2 m_powerStatus;  // written by the thread only

private:
    static UINT LinkPollThreadProc(LPVOID param);
    // The 64-bit address of the current device type's record; false for a
    // device type without one.
    bool CurrentAddress(ULONGLONG* address);
    // A stop cuts short only the monitor's own cycle; a Connect or ClosePort
    // called on another thread runs to its end.
    bool StopRequested() const { return m_stopRequested.load() && GetCurrentThreadId() == m_threadId.load(); }
    void SetCharge(BYTE charge);
    // Link down and no sensor reading.
    void MarkLinkDown();
    // Clears the run flag, wakes the thread and joins it (m_threadLock held).
    void JoinThreadLocked();
    // One line of debug output, unless it repeats the last one.
    void Diagnose(const std::u16string& line);

    mutable std::mutex m_stateLock;
    SensorInfo m_sensorInfo;
    SensorState m_sensorState;
    std::u16string m_lastDiagnosis;
    BYTE m_mainsIndex;
    BYTE m_mainsRing[5];
    ParamBlock m_params;
    CSensorLink m_link;
    CByteCmdLink m_byteLink;

    std::mutex m_threadLock;  // Start and Stop
    CWinThread* m_thread;
    std::shared_ptr<LinkPollRun> m_pollRun;  // shared with m_thread's procedure
    std::atomic<bool> m_stopRequested;
    std::atomic<DWORD> m_cycles;
    std::atomic<DWORD> m_threadId;
};
