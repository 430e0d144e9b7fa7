// The program's clock, its offset, the time zone rules and the manual clock.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "tests/support/Fields.h"
#include "tests/support/PipeGuard.h"
#include "tests/support/TempDeviceRoot.h"

namespace {

using qtest::DeviceRootTest;
using qtest::ManualClock;

SYSTEMTIME At(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0)
{
    return SYSTEMTIME{y, mo, 0, d, h, mi, s, ms};
}

long long Ms(const SYSTEMTIME& t)
{
    FILETIME ft;
    EXPECT_TRUE(SystemTimeToFileTime(&t, &ft));
    return static_cast<long long>((static_cast<unsigned long long>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) / 10000);
}

// The `nth` `dayOfWeek` of the month (5: the last) at `hour`.
SYSTEMTIME Rule(WORD month, WORD dayOfWeek, WORD nth, WORD hour)
{
    return SYSTEMTIME{0, month, dayOfWeek, nth, hour, 0, 0, 0};
}

// Western European rules: daylight from the last Sunday of March 01:00 to the
// last Sunday of October 02:00 (daylight time).
TIME_ZONE_INFORMATION London()
{
    TIME_ZONE_INFORMATION z{};
    qplat::CopyField(z.StandardName, 32, u"GMT Standard Time");
    qplat::CopyField(z.DaylightName, 32, u"GMT Daylight Time");
    z.StandardDate = Rule(10, 0, 5, 2);
    z.DaylightDate = Rule(3, 0, 5, 1);
    z.DaylightBias = -60;
    return z;
}

long long LocalMinusUtcMinutes()
{
    SYSTEMTIME utc, local;
    GetSystemTime(&utc);
    GetLocalTime(&local);
    return (Ms(local) - Ms(utc)) / 60000;
}

TEST_F(DeviceRootTest, ClockOffsetMovesTheProgramsClockAndPersists)
{
    SYSTEMTIME wanted = At(2031, 6, 15, 12, 0, 0);
    ASSERT_TRUE(SetSystemTime(&wanted));
    SYSTEMTIME now;
    GetSystemTime(&now);
    EXPECT_LT(std::llabs(Ms(now) - Ms(wanted)), 5000);

    root.Reload();  // a new start on the same root keeps the set time
    GetSystemTime(&now);
    EXPECT_LT(std::llabs(Ms(now) - Ms(wanted)), 5000);

    // Invalid dates are refused and change nothing.
    SYSTEMTIME bad = At(2031, 2, 30);
    EXPECT_FALSE(SetSystemTime(&bad));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    bad = At(2031, 1, 1, 24);
    EXPECT_FALSE(SetLocalTime(&bad));
    GetSystemTime(&now);
    EXPECT_EQ(2031, now.wYear);

    // A damaged offset file means no offset, not a crash or a wild clock.
    std::ofstream(qplat::PlatformFolder() + "/clock.txt", std::ios::trunc) << "garbage\n";
    root.Reload();
    GetSystemTime(&now);
    EXPECT_LT(now.wYear, 2031);
}

// Pipes in the places of the clock's offset file and the zone file held the
// first clock call in their opens. Each, and a folder or a link to nothing,
// is passed by as a missing file, with one line naming it: no offset, the
// host's zone.
TEST_F(DeviceRootTest, PipesInPlaceOfTheClockAndZoneFilesArePassedByAsMissingFiles)
{
    const std::string clock = qplat::PlatformFolder() + "/clock.txt", zone = qplat::PlatformFolder() + "/timezone.txt";
    for (const qtest::Stranger stranger : qtest::kStrangers) {
        SCOPED_TRACE(static_cast<int>(stranger));
        SYSTEMTIME wanted = At(2031, 6, 15, 12, 0, 0);
        ASSERT_TRUE(SetSystemTime(&wanted));
        const TIME_ZONE_INFORMATION london = London();
        ASSERT_TRUE(SetTimeZoneInformation(&london));
        for (const std::string& file : {clock, zone})
            ASSERT_TRUE(qtest::PutInPlace(file, stranger));
        root.Reload();

        SYSTEMTIME now{};
        TIME_ZONE_INFORMATION z{};
        DWORD kind = TIME_ZONE_ID_INVALID;
        testing::internal::CaptureStderr();
        const bool returned = qtest::ReturnsWithoutThePipesOtherEnd({clock, zone}, [&] {
            GetSystemTime(&now);
            kind = GetTimeZoneInformation(&z);
        });
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(returned) << "an open waited for a pipe's other end";
        EXPECT_LT(now.wYear, 2031) << "no offset, as on a card without the file";
        EXPECT_EQ(TIME_ZONE_ID_UNKNOWN, kind) << "the host's zone, without rules";
        EXPECT_EQ(0, z.StandardDate.wMonth);
        EXPECT_EQ(2, std::count(said.begin(), said.end(), '\n')) << said;
        EXPECT_NE(std::string::npos, said.find(clock + ": " + qtest::SaidOf(stranger))) << said;
        EXPECT_NE(std::string::npos, said.find(zone + ": " + qtest::SaidOf(stranger))) << said;
        for (const std::string& file : {clock, zone})
            std::filesystem::remove_all(file);
    }
}

TEST_F(DeviceRootTest, DefaultZoneDescribesTheHostOffset)
{
    root.UseDefaultZone();
    TIME_ZONE_INFORMATION z;
    EXPECT_EQ(TIME_ZONE_ID_UNKNOWN, GetTimeZoneInformation(&z));
    EXPECT_NE(0, z.StandardName[0]);  // the host's abbreviation
    EXPECT_EQ(0, z.StandardDate.wMonth);
    EXPECT_EQ(-z.Bias, LocalMinusUtcMinutes());
}

TEST_F(DeviceRootTest, ZoneWithMarchAndOctoberRules)
{
    ManualClock clock(2024, 3, 31, 0, 30);  // the last Sunday of March 2024
    TIME_ZONE_INFORMATION z = London();
    ASSERT_TRUE(SetTimeZoneInformation(&z));

    TIME_ZONE_INFORMATION got;
    EXPECT_EQ(TIME_ZONE_ID_STANDARD, GetTimeZoneInformation(&got));
    EXPECT_EQ(std::u16string(u"GMT Standard Time"), got.StandardName);
    SYSTEMTIME local;
    GetLocalTime(&local);
    EXPECT_EQ(0, local.wHour);
    EXPECT_EQ(0, local.wDayOfWeek);

    clock.Advance(60 * 60 * 1000);  // 01:30 UTC: daylight time began at 01:00
    EXPECT_EQ(TIME_ZONE_ID_DAYLIGHT, GetTimeZoneInformation(&got));
    GetLocalTime(&local);
    EXPECT_EQ(2, local.wHour);
    EXPECT_EQ(30, local.wMinute);

    // It ends on the last Sunday of October at 02:00 daylight time (01:00 UTC).
    SYSTEMTIME t = At(2024, 10, 27, 0, 59, 59);
    qplat::UseManualClock(t);
    EXPECT_EQ(TIME_ZONE_ID_DAYLIGHT, GetTimeZoneInformation(&got));
    GetLocalTime(&local);
    EXPECT_EQ(1, local.wHour);
    clock.Advance(1000);
    EXPECT_EQ(TIME_ZONE_ID_STANDARD, GetTimeZoneInformation(&got));
    GetLocalTime(&local);
    EXPECT_EQ(1, local.wHour);
    EXPECT_EQ(0, local.wMinute);

    // Setting local time in summer converts through the daylight bias.
    SYSTEMTIME summer = At(2024, 7, 1, 12, 0);
    ASSERT_TRUE(SetLocalTime(&summer));
    SYSTEMTIME utc;
    GetSystemTime(&utc);
    EXPECT_EQ(11, utc.wHour);

    // The zone survives a new start.
    root.Reload();
    EXPECT_EQ(TIME_ZONE_ID_DAYLIGHT, GetTimeZoneInformation(&got));
    EXPECT_EQ(0, std::memcmp(&z, &got, sizeof z));
}

TEST_F(DeviceRootTest, ZoneVariants)
{
    ManualClock clock(2024, 1, 15, 12);
    TIME_ZONE_INFORMATION got;
    SYSTEMTIME local;

    // Only a daylight start and no end: no daylight time at all.
    TIME_ZONE_INFORMATION half = London();
    half.StandardDate = SYSTEMTIME{};
    ASSERT_TRUE(SetTimeZoneInformation(&half));
    qplat::UseManualClock(At(2024, 7, 1, 12));
    EXPECT_EQ(TIME_ZONE_ID_UNKNOWN, GetTimeZoneInformation(&got));
    GetLocalTime(&local);
    EXPECT_EQ(12, local.wHour);

    // A fixed offset east of Greenwich.
    TIME_ZONE_INFORMATION moscow{};
    moscow.Bias = -180;
    ASSERT_TRUE(SetTimeZoneInformation(&moscow));
    qplat::UseManualClock(At(2024, 12, 31, 22, 30));
    GetLocalTime(&local);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(local.wYear, 2025), FIELD_IS(local.wMonth, 1), FIELD_IS(local.wDay, 1),
                                 FIELD_IS(local.wHour, 1)));

    // Southern hemisphere: daylight from the first Sunday of October to the
    // first Sunday of April, across the new year.
    TIME_ZONE_INFORMATION sydney{};
    sydney.Bias = -600;
    sydney.DaylightBias = -60;
    sydney.DaylightDate = Rule(10, 0, 1, 2);
    sydney.StandardDate = Rule(4, 0, 1, 3);
    ASSERT_TRUE(SetTimeZoneInformation(&sydney));
    qplat::UseManualClock(At(2024, 1, 15, 0));
    EXPECT_EQ(TIME_ZONE_ID_DAYLIGHT, GetTimeZoneInformation(&got));
    GetLocalTime(&local);
    EXPECT_EQ(11, local.wHour);
    qplat::UseManualClock(At(2024, 7, 15, 0));
    EXPECT_EQ(TIME_ZONE_ID_STANDARD, GetTimeZoneInformation(&got));
    GetLocalTime(&local);
    EXPECT_EQ(10, local.wHour);

    // Rules the handheld could not express are refused; the zone stays.
    TIME_ZONE_INFORMATION bad = London();
    bad.DaylightDate.wDay = 6;
    EXPECT_FALSE(SetTimeZoneInformation(&bad));
    bad = London();
    bad.StandardDate.wMonth = 13;
    EXPECT_FALSE(SetTimeZoneInformation(&bad));
    bad = London();
    bad.Bias = 100000;
    EXPECT_FALSE(SetTimeZoneInformation(&bad));
    EXPECT_FALSE(SetTimeZoneInformation(nullptr));
    GetTimeZoneInformation(&got);
    EXPECT_EQ(-600, got.Bias);
}

TEST(TimeConversion, FileTimeAndSystemTime)
{
    FILETIME ft;
    SYSTEMTIME epoch = At(1970, 1, 1);
    ASSERT_TRUE(SystemTimeToFileTime(&epoch, &ft));
    EXPECT_EQ(116444736000000000ULL, static_cast<unsigned long long>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime);
    SYSTEMTIME first = At(1601, 1, 1);
    ASSERT_TRUE(SystemTimeToFileTime(&first, &ft));
    EXPECT_EQ(0u, ft.dwLowDateTime | ft.dwHighDateTime);

    SYSTEMTIME leap = At(2024, 2, 29, 23, 59, 58, 999);
    ASSERT_TRUE(SystemTimeToFileTime(&leap, &ft));
    SYSTEMTIME back;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    // Every field, the day of the week (a Thursday) filled in.
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(back.wYear, 2024), FIELD_IS(back.wMonth, 2), FIELD_IS(back.wDayOfWeek, 4),
                                 FIELD_IS(back.wDay, 29), FIELD_IS(back.wHour, 23), FIELD_IS(back.wMinute, 59),
                                 FIELD_IS(back.wSecond, 58), FIELD_IS(back.wMilliseconds, 999)));

    for (SYSTEMTIME bad : {At(2023, 2, 29), At(2024, 13, 1), At(2024, 0, 1), At(2024, 4, 31), At(2024, 1, 1, 24),
                           At(2024, 1, 1, 0, 60), At(2024, 1, 1, 0, 0, 60), At(2024, 1, 1, 0, 0, 0, 1000),
                           At(1600, 12, 31)})
        EXPECT_FALSE(SystemTimeToFileTime(&bad, &ft)) << bad.wYear << "-" << bad.wMonth << "-" << bad.wDay;

    FILETIME huge{0xFFFFFFFFu, 0x80000000u};
    EXPECT_FALSE(FileTimeToSystemTime(&huge, &back));
    EXPECT_FALSE(SystemTimeToFileTime(nullptr, &ft));
}

TEST_F(DeviceRootTest, ManualClockDrivesTicksSleepAndTime)
{
    {
        ManualClock clock(2024, 5, 6, 7, 8, 9);
        EXPECT_TRUE(qplat::ManualClockActive());
        DWORD tick = GetTickCount();
        Sleep(500);  // returns at once, the clock moves
        EXPECT_EQ(tick + 500, GetTickCount());
        clock.Advance(1500);
        EXPECT_EQ(tick + 2000, GetTickCount());
        SYSTEMTIME now;
        GetLocalTime(&now);
        EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(now.wHour, 7), FIELD_IS(now.wMinute, 8), FIELD_IS(now.wSecond, 11)));

        // Setting the time moves the manual clock and stores no offset.
        SYSTEMTIME set = At(2030, 1, 1, 0, 0);
        ASSERT_TRUE(SetLocalTime(&set));
        GetSystemTime(&now);
        EXPECT_EQ(2030, now.wYear);
        EXPECT_EQ(0, now.wSecond);
    }
    EXPECT_FALSE(qplat::ManualClockActive());
    SYSTEMTIME now;
    GetSystemTime(&now);
    EXPECT_LT(now.wYear, 2030);

    // On the host clock a sleep takes (at least) its time.
    DWORD before = GetTickCount();
    Sleep(20);
    EXPECT_GE(GetTickCount() - before, 19u);
}

}  // namespace
