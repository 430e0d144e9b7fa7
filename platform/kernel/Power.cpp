// Power: switching the handheld off puts it to sleep (the screen goes dark
// until a tap or the power key wakes it, and the program carries on where it
// was), a reset starts the program again, and the battery status comes from
// the host's power supply. Nothing of the host itself is switched off.
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "platform/PowerSleep.h"
#include "platform/WinKernel.h"

namespace qplat {

namespace {

struct PowerState {
    std::mutex lock;
    std::function<void(DWORD)> handler;
    std::vector<std::function<void()>> hooks;
    std::vector<DWORD> requests;
    // The sleep: set by a power-off, cleared by WakeDevice.
    std::condition_variable woken;
    bool asleep = false;
    unsigned sleeps = 0;
    unsigned wakes = 0;
    std::function<void()> sleepScreen;
};

PowerState& Power()
{
    static PowerState* p = new PowerState;
    return *p;
}

// Starts the same program again with the same arguments, as the handheld comes
// back after a reset.
[[noreturn]] void Restart()
{
    std::vector<std::string> args;
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string arg;
    while (std::getline(in, arg, '\0'))
        args.push_back(arg);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    if (!args.empty())
        ::execv("/proc/self/exe", argv.data());
    std::fputs("reset: the program could not be started again\n", stderr);
    std::_Exit(1);
}

// The handheld switched off and on again: returns once it is woken. The
// screen's side (dark, waiting for the stylus or the power key) belongs to
// whoever shows the screen; without one nothing could ever wake the device,
// so it wakes at once.
void SleepUntilWoken()
{
    std::function<void()> screen;
    {
        PowerState& p = Power();
        std::lock_guard<std::mutex> guard(p.lock);
        p.asleep = true;
        ++p.sleeps;
        screen = p.sleepScreen;
    }
    std::fflush(nullptr);
    if (screen)
        screen();
    WakeDevice();
}

void DefaultHandler(DWORD state)
{
    if (state & POWER_STATE_RESET)
        Restart();
    if (state & POWER_STATE_OFF)
        SleepUntilWoken();
    // Suspend, idle and the rest have no host meaning: recorded only.
}

std::string ReadLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

void SetPowerHandler(std::function<void(DWORD state)> handler)
{
    PowerState& p = Power();
    std::lock_guard<std::mutex> guard(p.lock);
    p.handler = std::move(handler);
}

void AddShutdownHook(std::function<void()> hook)
{
    if (!hook)
        return;
    PowerState& p = Power();
    std::lock_guard<std::mutex> guard(p.lock);
    p.hooks.push_back(std::move(hook));
}

void ClearShutdownHooks()
{
    PowerState& p = Power();
    std::lock_guard<std::mutex> guard(p.lock);
    p.hooks.clear();
}

std::vector<DWORD> PowerStateRequests()
{
    PowerState& p = Power();
    std::lock_guard<std::mutex> guard(p.lock);
    return p.requests;
}

void ClearPowerStateRequests()
{
    PowerState& p = Power();
    std::lock_guard<std::mutex> guard(p.lock);
    p.requests.clear();
}

bool DeviceAsleep()
{
    PowerState& p = Power();
    std::lock_guard<std::mutex> guard(p.lock);
    return p.asleep;
}

bool WakeDevice()
{
    PowerState& p = Power();
    {
        std::lock_guard<std::mutex> guard(p.lock);
        if (!p.asleep)
            return false;
        p.asleep = false;
        ++p.wakes;
    }
    p.woken.notify_all();
    return true;
}

bool WaitForWake(DWORD milliseconds)
{
    PowerState& p = Power();
    std::unique_lock<std::mutex> guard(p.lock);
    p.woken.wait_for(guard, std::chrono::milliseconds(milliseconds), [&] { return !p.asleep; });
    return !p.asleep;
}

unsigned DeviceSleeps()
{
    PowerState& p = Power();
    std::lock_guard<std::mutex> guard(p.lock);
    return p.sleeps;
}

unsigned DeviceWakes()
{
    PowerState& p = Power();
    std::lock_guard<std::mutex> guard(p.lock);
    return p.wakes;
}

void SetSleepScreen(std::function<void()> whileAsleep)
{
    PowerState& p = Power();
    std::lock_guard<std::mutex> guard(p.lock);
    p.sleepScreen = std::move(whileAsleep);
}

}  // namespace qplat

using namespace qplat;

DWORD SetSystemPowerState(LPCWSTR, DWORD state, DWORD)
{
    std::vector<std::function<void()>> hooks;
    std::function<void(DWORD)> handler;
    {
        PowerState& p = Power();
        std::lock_guard<std::mutex> guard(p.lock);
        p.requests.push_back(state);
        // Only a reset ends the program; after a power-off it carries on.
        if (state & POWER_STATE_RESET)
            hooks = p.hooks;
        handler = p.handler;
    }
    // Outside the lock: a hook may well add or clear hooks itself.
    for (auto& hook : hooks)
        hook();
    if (handler)
        handler(state);
    else
        DefaultHandler(state);
    return ERROR_SUCCESS;
}

// Where the host has a battery, its charge and the charger state; where it has
// none (a desktop), the host runs on mains and reports a full battery on the
// charger, so the status area shows a sensible level rather than "unknown".
DWORD GetSystemPowerStatusEx2(PSYSTEM_POWER_STATUS_EX2 status, DWORD length, BOOL)
{
    if (!status || length < sizeof(SYSTEM_POWER_STATUS_EX2)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    SYSTEM_POWER_STATUS_EX2 s{};
    s.BatteryLifeTime = BATTERY_LIFE_UNKNOWN;
    s.BatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
    s.BackupBatteryFlag = BATTERY_FLAG_UNKNOWN;
    s.BackupBatteryLifePercent = BATTERY_PERCENTAGE_UNKNOWN;
    s.BackupBatteryLifeTime = BATTERY_LIFE_UNKNOWN;
    s.BackupBatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
    s.BatteryChemistry = BATTERY_CHEMISTRY_UNKNOWN;

    bool battery = false;
    bool mainsKnown = false;
    bool mainsOnline = false;
    bool charging = false;
    int percent = -1;
    const std::string base = "/sys/class/power_supply";
    if (DIR* d = ::opendir(base.c_str())) {
        while (struct dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            std::string dir = base + "/" + name;
            std::string type = ReadLine(dir + "/type");
            if (type == "Battery" && !battery) {
                std::string capacity = ReadLine(dir + "/capacity");
                if (capacity.empty())
                    continue;
                battery = true;
                percent = std::atoi(capacity.c_str());
                charging = ReadLine(dir + "/status") == "Charging";
            } else if (type == "Mains" || type == "USB") {
                mainsKnown = true;
                if (ReadLine(dir + "/online") == "1")
                    mainsOnline = true;
            }
        }
        ::closedir(d);
    }
    if (battery) {
        if (percent < 0)
            percent = 0;
        if (percent > 100)
            percent = 100;
        s.BatteryLifePercent = static_cast<BYTE>(percent);
        s.BatteryFlag = percent > 66 ? BATTERY_FLAG_HIGH : percent > 5 ? BATTERY_FLAG_LOW : BATTERY_FLAG_CRITICAL;
        if (charging)
            s.BatteryFlag |= BATTERY_FLAG_CHARGING;
        s.ACLineStatus = mainsKnown ? (mainsOnline || charging ? AC_LINE_ONLINE : AC_LINE_OFFLINE)
                                    : (charging ? AC_LINE_ONLINE : AC_LINE_OFFLINE);
        s.BatteryChemistry = BATTERY_CHEMISTRY_LION;
    } else {
        s.ACLineStatus = AC_LINE_ONLINE;
        s.BatteryFlag = BATTERY_FLAG_HIGH;
        s.BatteryLifePercent = 100;
    }
    *status = s;
    return sizeof(SYSTEM_POWER_STATUS_EX2);
}
