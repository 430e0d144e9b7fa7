// The program's clock and time zone. The clock is the host's clock plus an
// offset that SetSystemTime/SetLocalTime move (kept in the platform folder; the
// host's clock is never touched), or a manual clock that only tests advance.
// The zone is the one last set with SetTimeZoneInformation, kept in the
// platform folder; before any set, a zone describing the host's current UTC
// offset, without daylight rules.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <sstream>
#include <thread>

#include "platform/WinKernel.h"
#include "platform/kernel/KernelInternal.h"

namespace qplat {

namespace {

const long long kMsPerDay = 86400000LL;
const long long kMsPerMinute = 60000LL;
// Milliseconds from 1601-01-01 (FILETIME's epoch) to 1970-01-01.
const long long kMs1601To1970 = 11644473600000LL;

struct Clock {
    std::mutex lock;
    bool loaded = false;
    long long offsetMs = 0;
    bool zoneSet = false;
    TIME_ZONE_INFORMATION zone{};
    bool manual = false;
    long long manualUtcMs = 0;
    long long manualTick = 0;
};

Clock& TheClock()
{
    static Clock* clock = new Clock;
    return *clock;
}

// ---- calendar arithmetic (proleptic Gregorian, days since 1970-01-01)

long long DaysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
}

bool IsLeap(long long y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(long long y, unsigned m)
{
    static const unsigned days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

long long FloorDiv(long long a, long long b)
{
    long long q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

unsigned WeekdayOfDays(long long days)
{
    // 1970-01-01 was a Thursday; Sunday is 0.
    long long w = (days + 4) % 7;
    return static_cast<unsigned>(w < 0 ? w + 7 : w);
}

bool ValidSystemTime(const SYSTEMTIME& t)
{
    if (t.wYear < 1601 || t.wYear > 30827 || t.wMonth < 1 || t.wMonth > 12)
        return false;
    if (t.wDay < 1 || t.wDay > DaysInMonth(t.wYear, t.wMonth))
        return false;
    return t.wHour < 24 && t.wMinute < 60 && t.wSecond < 60 && t.wMilliseconds < 1000;
}

long long ToUnixMs(const SYSTEMTIME& t)
{
    long long days = DaysFromCivil(t.wYear, t.wMonth, t.wDay);
    return days * kMsPerDay + ((t.wHour * 60LL + t.wMinute) * 60LL + t.wSecond) * 1000LL + t.wMilliseconds;
}

SYSTEMTIME FromUnixMs(long long ms)
{
    long long days = FloorDiv(ms, kMsPerDay);
    long long rest = ms - days * kMsPerDay;
    long long y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    SYSTEMTIME t;
    t.wYear = static_cast<WORD>(y);
    t.wMonth = static_cast<WORD>(m);
    t.wDay = static_cast<WORD>(d);
    t.wDayOfWeek = static_cast<WORD>(WeekdayOfDays(days));
    t.wHour = static_cast<WORD>(rest / 3600000);
    t.wMinute = static_cast<WORD>(rest / 60000 % 60);
    t.wSecond = static_cast<WORD>(rest / 1000 % 60);
    t.wMilliseconds = static_cast<WORD>(rest % 1000);
    return t;
}

// ---- zone rules

bool HasRules(const TIME_ZONE_INFORMATION& z)
{
    // As on the handheld: daylight time needs both transitions.
    return z.StandardDate.wMonth != 0 && z.DaylightDate.wMonth != 0;
}

bool ValidRule(const SYSTEMTIME& r)
{
    if (r.wMonth == 0)
        return true;
    if (r.wMonth > 12 || r.wHour >= 24 || r.wMinute >= 60 || r.wSecond >= 60 || r.wMilliseconds >= 1000)
        return false;
    if (r.wYear == 0)
        return r.wDayOfWeek <= 6 && r.wDay >= 1 && r.wDay <= 5;
    return r.wDay >= 1 && r.wDay <= DaysInMonth(r.wYear, r.wMonth);
}

// Local wall time (ms since 1970 on the zone's clock) of a transition in a year.
long long TransitionLocalMs(const SYSTEMTIME& rule, long long year)
{
    unsigned day;
    if (rule.wYear == 0) {
        // wDay-th wDayOfWeek of the month; 5 is the last one.
        unsigned first = WeekdayOfDays(DaysFromCivil(year, rule.wMonth, 1));
        day = 1 + (rule.wDayOfWeek + 7 - first) % 7 + (rule.wDay - 1u) * 7;
        while (day > DaysInMonth(year, rule.wMonth))
            day -= 7;
    } else {
        // A fixed date; the same day is used in every year.
        day = std::min<unsigned>(rule.wDay, DaysInMonth(year, rule.wMonth));
    }
    return DaysFromCivil(year, rule.wMonth, day) * kMsPerDay +
           ((rule.wHour * 60LL + rule.wMinute) * 60LL + rule.wSecond) * 1000LL + rule.wMilliseconds;
}

bool InDaylight(const TIME_ZONE_INFORMATION& z, long long utcMs)
{
    if (!HasRules(z))
        return false;
    long long standardOffset = (static_cast<long long>(z.Bias) + z.StandardBias) * kMsPerMinute;
    long long daylightOffset = (static_cast<long long>(z.Bias) + z.DaylightBias) * kMsPerMinute;
    long long y;
    unsigned m, d;
    CivilFromDays(FloorDiv(utcMs - standardOffset, kMsPerDay), y, m, d);
    // Daylight time starts at the rule's hour of standard time and ends at the
    // rule's hour of daylight time.
    long long start = TransitionLocalMs(z.DaylightDate, y) + standardOffset;
    long long end = TransitionLocalMs(z.StandardDate, y) + daylightOffset;
    if (start < end)
        return utcMs >= start && utcMs < end;
    return !(utcMs >= end && utcMs < start);  // southern hemisphere: across the new year
}

long long LocalOffsetMs(const TIME_ZONE_INFORMATION& z, long long utcMs)
{
    if (!HasRules(z))
        return -static_cast<long long>(z.Bias) * kMsPerMinute;
    LONG extra = InDaylight(z, utcMs) ? z.DaylightBias : z.StandardBias;
    return -(static_cast<long long>(z.Bias) + extra) * kMsPerMinute;
}

long long LocalToUtc(const TIME_ZONE_INFORMATION& z, long long localMs)
{
    if (!HasRules(z))
        return localMs + static_cast<long long>(z.Bias) * kMsPerMinute;
    long long guess = localMs + (static_cast<long long>(z.Bias) + z.StandardBias) * kMsPerMinute;
    if (InDaylight(z, guess))
        return localMs + (static_cast<long long>(z.Bias) + z.DaylightBias) * kMsPerMinute;
    return guess;
}

TIME_ZONE_INFORMATION HostZone()
{
    TIME_ZONE_INFORMATION z{};
    time_t now = ::time(nullptr);
    struct tm local;
    if (::localtime_r(&now, &local)) {
        z.Bias = static_cast<LONG>(-local.tm_gmtoff / 60);
        std::u16string name = FromUtf8(local.tm_zone ? local.tm_zone : "UTC");
        CopyField(z.StandardName, 32, name.c_str());
        CopyField(z.DaylightName, 32, name.c_str());
    }
    return z;
}

// ---- persistence

std::string ClockFile()
{
    return PlatformFolder() + "/clock.txt";
}

std::string ZoneFile()
{
    return PlatformFolder() + "/timezone.txt";
}

std::string RuleText(const SYSTEMTIME& r)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "%u %u %u %u %u %u %u %u", r.wYear, r.wMonth, r.wDayOfWeek, r.wDay, r.wHour,
                  r.wMinute, r.wSecond, r.wMilliseconds);
    return buf;
}

bool ParseRule(std::istream& in, SYSTEMTIME& r)
{
    unsigned v[8];
    for (auto& x : v) {
        if (!(in >> x) || x > 0xFFFF)
            return false;
    }
    r = SYSTEMTIME{static_cast<WORD>(v[0]), static_cast<WORD>(v[1]), static_cast<WORD>(v[2]), static_cast<WORD>(v[3]),
                   static_cast<WORD>(v[4]), static_cast<WORD>(v[5]), static_cast<WORD>(v[6]), static_cast<WORD>(v[7])};
    return true;
}

std::string ZoneText(const TIME_ZONE_INFORMATION& z)
{
    std::ostringstream out;
    out << "Bias " << z.Bias << "\n";
    out << "StandardName " << ToUtf8(FieldText(z.StandardName, 32)) << "\n";
    out << "StandardDate " << RuleText(z.StandardDate) << "\n";
    out << "StandardBias " << z.StandardBias << "\n";
    out << "DaylightName " << ToUtf8(FieldText(z.DaylightName, 32)) << "\n";
    out << "DaylightDate " << RuleText(z.DaylightDate) << "\n";
    out << "DaylightBias " << z.DaylightBias << "\n";
    return out.str();
}

bool ValidZone(const TIME_ZONE_INFORMATION& z)
{
    const LONG day = 24 * 60;
    return z.Bias >= -day && z.Bias <= day && z.StandardBias >= -day && z.StandardBias <= day &&
           z.DaylightBias >= -day && z.DaylightBias <= day && ValidRule(z.StandardDate) && ValidRule(z.DaylightDate);
}

bool ParseZone(const std::string& text, TIME_ZONE_INFORMATION& z)
{
    z = TIME_ZONE_INFORMATION{};
    std::istringstream in(text);
    std::string line;
    int seen = 0;
    while (std::getline(in, line)) {
        size_t space = line.find(' ');
        std::string field = line.substr(0, space);
        std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
        std::istringstream value(rest);
        long long n = 0;
        if (field == "Bias" && (value >> n)) {
            z.Bias = static_cast<LONG>(n);
        } else if (field == "StandardBias" && (value >> n)) {
            z.StandardBias = static_cast<LONG>(n);
        } else if (field == "DaylightBias" && (value >> n)) {
            z.DaylightBias = static_cast<LONG>(n);
        } else if (field == "StandardName") {
            CopyField(z.StandardName, 32, FromUtf8(rest).c_str());
        } else if (field == "DaylightName") {
            CopyField(z.DaylightName, 32, FromUtf8(rest).c_str());
        } else if (field == "StandardDate" && ParseRule(value, z.StandardDate)) {
        } else if (field == "DaylightDate" && ParseRule(value, z.DaylightDate)) {
        } else {
            return false;
        }
        ++seen;
    }
    return seen == 7 && ValidZone(z);
}

std::string ReadSmallFile(const std::string& path)
{
    // Bounded: these files are a few lines; a huge one is not ours.
    std::string text;
    ReadPlatformFile(path, text, 4096);
    return text;
}

void LoadLocked(Clock& c)
{
    if (c.loaded)
        return;
    c.loaded = true;
    c.offsetMs = 0;
    std::istringstream offset(ReadSmallFile(ClockFile()));
    long long ms = 0;
    // At most a few centuries either way; anything else is damage.
    if (offset >> ms && ms > -10000LL * 365 * kMsPerDay && ms < 10000LL * 365 * kMsPerDay)
        c.offsetMs = ms;
    std::string zone = ReadSmallFile(ZoneFile());
    c.zoneSet = !zone.empty() && ParseZone(zone, c.zone);
    if (!c.zoneSet)
        c.zone = HostZone();
}

long long NowUtcLocked(Clock& c)
{
    LoadLocked(c);
    return c.manual ? c.manualUtcMs : HostUnixMillis() + c.offsetMs;
}

bool SetUtcLocked(Clock& c, long long utcMs)
{
    LoadLocked(c);
    if (c.manual) {
        c.manualUtcMs = utcMs;
        return true;
    }
    long long offset = utcMs - HostUnixMillis();
    std::string text = std::to_string(offset) + "\n";
    if (!RewriteHostFile(ClockFile(), text.data(), text.size()))
        return false;
    c.offsetMs = offset;
    return true;
}

// Milliseconds of the host's monotonic clock, which counts from its start as
// the handheld's tick count counts from power-on.
long long HostTickMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

long long HostUnixMillis()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void ResetClockCache()
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> guard(c.lock);
    c.loaded = false;
    c.zoneSet = false;
    c.offsetMs = 0;
}

void UseManualClock(const SYSTEMTIME& start)
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> guard(c.lock);
    long long startMs = ValidSystemTime(start) ? ToUnixMs(start) : 0;
    if (!c.manual)
        c.manualTick = HostTickMs();
    c.manual = true;
    c.manualUtcMs = startMs;
}

void UseHostClock()
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> guard(c.lock);
    c.manual = false;
}

void AdvanceClock(DWORD milliseconds)
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> guard(c.lock);
    if (!c.manual)
        return;
    c.manualUtcMs += milliseconds;
    c.manualTick += milliseconds;
}

bool ManualClockActive()
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.manual;
}

}  // namespace qplat

using namespace qplat;

void GetSystemTime(LPSYSTEMTIME time)
{
    if (!time)
        return;
    Clock& c = TheClock();
    std::lock_guard<std::mutex> guard(c.lock);
    *time = FromUnixMs(NowUtcLocked(c));
}

void GetLocalTime(LPSYSTEMTIME time)
{
    if (!time)
        return;
    Clock& c = TheClock();
    std::lock_guard<std::mutex> guard(c.lock);
    long long now = NowUtcLocked(c);
    *time = FromUnixMs(now + LocalOffsetMs(c.zone, now));
}

BOOL SetSystemTime(const SYSTEMTIME* time)
{
    if (!time || !ValidSystemTime(*time)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Clock& c = TheClock();
    std::lock_guard<std::mutex> guard(c.lock);
    return SetUtcLocked(c, ToUnixMs(*time)) ? TRUE : FALSE;
}

BOOL SetLocalTime(const SYSTEMTIME* time)
{
    if (!time || !ValidSystemTime(*time)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Clock& c = TheClock();
    std::lock_guard<std::mutex> guard(c.lock);
    LoadLocked(c);
    return SetUtcLocked(c, LocalToUtc(c.zone, ToUnixMs(*time))) ? TRUE : FALSE;
}

DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION zone)
{
    if (!zone) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return TIME_ZONE_ID_INVALID;
    }
    Clock& c = TheClock();
    std::lock_guard<std::mutex> guard(c.lock);
    long long now = NowUtcLocked(c);
    *zone = c.zone;
    if (!HasRules(c.zone))
        return TIME_ZONE_ID_UNKNOWN;
    return InDaylight(c.zone, now) ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}

BOOL SetTimeZoneInformation(const TIME_ZONE_INFORMATION* zone)
{
    if (!zone || !ValidZone(*zone)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    TIME_ZONE_INFORMATION z = *zone;
    // The names are fixed fields that may arrive without their terminator.
    z.StandardName[31] = 0;
    z.DaylightName[31] = 0;
    Clock& c = TheClock();
    std::lock_guard<std::mutex> guard(c.lock);
    LoadLocked(c);
    std::string text = ZoneText(z);
    if (!RewriteHostFile(ZoneFile(), text.data(), text.size()))
        return FALSE;
    c.zone = z;
    c.zoneSet = true;
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* time, LPFILETIME fileTime)
{
    if (!time || !fileTime || !ValidSystemTime(*time)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    unsigned long long ticks = static_cast<unsigned long long>(ToUnixMs(*time) + kMs1601To1970) * 10000ULL;
    fileTime->dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    fileTime->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME time)
{
    if (!fileTime || !time || (fileTime->dwHighDateTime & 0x80000000u)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    unsigned long long ticks = (static_cast<unsigned long long>(fileTime->dwHighDateTime) << 32) | fileTime->dwLowDateTime;
    long long ms = static_cast<long long>(ticks / 10000ULL) - kMs1601To1970;
    SYSTEMTIME t = FromUnixMs(ms);
    if (t.wYear > 30827) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *time = t;
    return TRUE;
}

DWORD GetTickCount()
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> guard(c.lock);
    long long tick = c.manual ? c.manualTick : HostTickMs();
    return static_cast<DWORD>(static_cast<unsigned long long>(tick) & 0xFFFFFFFFu);
}

void Sleep(DWORD milliseconds)
{
    {
        Clock& c = TheClock();
        std::lock_guard<std::mutex> guard(c.lock);
        if (c.manual) {
            c.manualUtcMs += milliseconds;
            c.manualTick += milliseconds;
            return;
        }
    }
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    if (milliseconds == INFINITE) {
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(24));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
