// Setting the handheld up: the registry records by USB vendor, idempotent
// start-ups, the GMT zone, the driver requests, power-off and reset, the card
// test and the small text routines.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/DeviceSetup.h"
#include "settings/Language.h"
#include "tests/support/Fields.h"
#include "tests/support/TempDeviceRoot.h"

namespace {

// The key, made where it is missing.
HKEY CreateKey(const char16_t* path)
{
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                             nullptr));
    return key;
}

void MakeKey(const char16_t* path)
{
    RegCloseKey(CreateKey(path));
}

void SetText(const char16_t* path, const char16_t* name, const std::u16string& value, bool withTerminator = true)
{
    HKEY key = CreateKey(path);
    const DWORD bytes = static_cast<DWORD>((value.size() + (withTerminator ? 1 : 0)) * 2);
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes));
    RegCloseKey(key);
}

struct Stored {
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};

Stored Query(const char16_t* path, const char16_t* name)
{
    Stored stored;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return stored;
    BYTE data[1024];
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key, name, nullptr, &stored.type, data, &size) == ERROR_SUCCESS) {
        stored.present = true;
        stored.data.assign(data, data + size);
    }
    RegCloseKey(key);
    return stored;
}

std::vector<BYTE> TextBytes(const std::u16string& text)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(p, p + (text.size() + 1) * 2);
}

std::vector<BYTE> DwordBytes(DWORD value)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&value);
    return std::vector<BYTE>(p, p + 4);
}

bool KeyExists(const char16_t* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

const char16_t* const kUsbKey = u"\\Drivers\\USB\\FunctionDrivers\\Mass_Storage_Class";
const char16_t* const kProgram = u"\\SDMMC\\Autorun\\Qav5_PA.exe";

class DeviceSetupTest : public qtest::DeviceRootTest {
protected:
    // The keys a handheld's image has; the REG_SZ records only fill them.
    void HandheldKeys()
    {
        MakeKey(u"\\Init");
        MakeKey(u"\\Ident");
        MakeKey(u"\\System\\Explorer\\Shell Folders");
    }
    // Everything the platform keeps of its own (registry, zone, clock).
    static std::string PlatformState()
    {
        std::string all;
        std::error_code ec;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(qplat::PlatformFolder(), ec))
            if (entry.is_regular_file())
                all += entry.path().string() + "\n" + qtest::ReadHostFile(entry.path());
        return all;
    }
    static std::map<std::string, std::filesystem::file_time_type> PlatformStamps()
    {
        std::map<std::string, std::filesystem::file_time_type> stamps;
        std::error_code ec;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(qplat::PlatformFolder(), ec))
            stamps[entry.path().string()] = entry.last_write_time(ec);
        return stamps;
    }
};

TEST_F(DeviceSetupTest, VendorComesFromTheManufacturerValue)
{
    EXPECT_EQ(0, GetUsbVendor());
    SetText(kUsbKey, u"Manufacturer", u"MediaTek");
    EXPECT_EQ(1, GetUsbVendor());
    SetText(kUsbKey, u"Manufacturer", u"MStar Semiconductor, Inc.");
    EXPECT_EQ(2, GetUsbVendor());
    SetText(kUsbKey, u"Manufacturer", u"MStar");
    EXPECT_EQ(0, GetUsbVendor());
    // Stored without its terminator: still read within the value's size.
    SetText(kUsbKey, u"Manufacturer", u"MediaTek", false);
    EXPECT_EQ(1, GetUsbVendor());
}

TEST_F(DeviceSetupTest, UnknownVendorGetsTheLaunch50Set)
{
    HandheldKeys();
    ApplyDeviceRegistry();

    EXPECT_EQ(TextBytes(kProgram), Query(u"\\Init", u"Launch50").data);
    EXPECT_FALSE(Query(u"\\Init", u"Launch92").present);
    EXPECT_EQ(TextBytes(u"HT700M Device"), Query(u"\\Ident", u"Name").data);
    const Stored lcid = Query(u"\\nls\\overrides", u"LCID");
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), lcid.type);
    EXPECT_EQ(DwordBytes(2057), lcid.data);
    EXPECT_FALSE(Query(u"\\SOFTWARE\\Microsoft\\Shell\\AutoHide", u"Default").present);
    EXPECT_FALSE(Query(u"\\System\\Explorer\\Shell Folders", u"Desktop").present);

    TIME_ZONE_INFORMATION zone{};
    GetTimeZoneInformation(&zone);
    EXPECT_EQ(u"GMT Standard Time", qplat::FieldText(zone.StandardName, 32));
}

TEST_F(DeviceSetupTest, VendorOneGetsTheLaunch50Set)
{
    HandheldKeys();
    SetText(kUsbKey, u"Manufacturer", u"MediaTek");
    ApplyDeviceRegistry();
    EXPECT_EQ(TextBytes(kProgram), Query(u"\\Init", u"Launch50").data);
    EXPECT_FALSE(Query(u"\\Init", u"Launch92").present);
    EXPECT_FALSE(Query(u"\\SOFTWARE\\Microsoft\\Shell\\AutoHide", u"Default").present);
}

TEST_F(DeviceSetupTest, VendorTwoGetsTheLaunch92SetWithShellSettings)
{
    HandheldKeys();
    SetText(kUsbKey, u"Manufacturer", u"MStar Semiconductor, Inc.");
    ApplyDeviceRegistry();
    EXPECT_EQ(TextBytes(kProgram), Query(u"\\Init", u"Launch92").data);
    EXPECT_FALSE(Query(u"\\Init", u"Launch50").present);
    EXPECT_EQ(TextBytes(u"HT700M Device"), Query(u"\\Ident", u"Name").data);
    EXPECT_EQ(DwordBytes(2057), Query(u"\\nls\\overrides", u"LCID").data);
    EXPECT_EQ(DwordBytes(1), Query(u"\\SOFTWARE\\Microsoft\\Shell\\AutoHide", u"Default").data);
    EXPECT_EQ(TextBytes(u"\\Windows\\Deskto_"), Query(u"\\System\\Explorer\\Shell Folders", u"Desktop").data);
}

TEST_F(DeviceSetupTest, MissingTextKeysAreNotCreated)
{
    ApplyDeviceRegistry();
    EXPECT_FALSE(KeyExists(u"\\Init"));
    EXPECT_FALSE(KeyExists(u"\\Ident"));
    // The DWORD record creates its key.
    EXPECT_EQ(DwordBytes(2057), Query(u"\\nls\\overrides", u"LCID").data);
}

TEST_F(DeviceSetupTest, SecondStartUpWritesNothing)
{
    HandheldKeys();
    SetText(kUsbKey, u"Manufacturer", u"MStar Semiconductor, Inc.");
    ApplyDeviceRegistry();
    const std::string first = PlatformState();
    ASSERT_FALSE(first.empty());
    TIME_ZONE_INFORMATION zoneBefore{};
    GetTimeZoneInformation(&zoneBefore);

    // Any write would rewrite a file of the platform's state: after a pause
    // longer than the file system's time stamp step, none may be newer.
    const auto stamps = PlatformStamps();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ApplyDeviceRegistry();
    EXPECT_EQ(stamps, PlatformStamps());
    EXPECT_EQ(first, PlatformState());
    root.Reload();
    EXPECT_EQ(TextBytes(kProgram), Query(u"\\Init", u"Launch92").data);
    TIME_ZONE_INFORMATION zoneAfter{};
    GetTimeZoneInformation(&zoneAfter);
    EXPECT_EQ(0, std::memcmp(&zoneBefore, &zoneAfter, sizeof(zoneBefore)));
}

TEST_F(DeviceSetupTest, StringRecordRewritesOnlyADifferentOrDamagedValue)
{
    MakeKey(u"\\Drivers\\USB\\FunctionDrivers");
    const RegistryRecord& usb = g_registryRecords[REGREC_USB_CLIENT_DRIVER];
    const char16_t* key = u"\\Drivers\\USB\\FunctionDrivers";

    ApplyRegistryRecord(&usb, 1);
    EXPECT_EQ(TextBytes(u"Serial_Class"), Query(key, u"DefaultClientDriver").data);
    ApplyRegistryRecord(&usb, 0);
    EXPECT_EQ(TextBytes(u"Mass_Storage_Class"), Query(key, u"DefaultClientDriver").data);

    // A value of the wrong type, one without a terminator and one too long for
    // the query all count as different and are replaced by the proper text.
    HKEY h = CreateKey(key);
    const DWORD number = 5;
    RegSetValueExW(h, u"DefaultClientDriver", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    RegCloseKey(h);
    ApplyRegistryRecord(&usb, 1);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), Query(key, u"DefaultClientDriver").type);
    EXPECT_EQ(TextBytes(u"Serial_Class"), Query(key, u"DefaultClientDriver").data);

    SetText(key, u"DefaultClientDriver", u"Serial_Class", false);
    ApplyRegistryRecord(&usb, 1);
    EXPECT_EQ(TextBytes(u"Serial_Class"), Query(key, u"DefaultClientDriver").data);

    SetText(key, u"DefaultClientDriver", std::u16string(300, u'z'));
    ApplyRegistryRecord(&usb, 1);
    EXPECT_EQ(TextBytes(u"Serial_Class"), Query(key, u"DefaultClientDriver").data);

    // Other types are not written at all.
    RegistryRecord binary = usb;
    binary.type = REG_BINARY;
    ApplyRegistryRecord(&binary, 0);
    EXPECT_EQ(TextBytes(u"Serial_Class"), Query(key, u"DefaultClientDriver").data);
}

TEST_F(DeviceSetupTest, RecordResultSaysWhetherTheRegistryHoldsTheChosenValue)
{
    const RegistryRecord& usb = g_registryRecords[REGREC_USB_CLIENT_DRIVER];
    const char16_t* key = u"\\Drivers\\USB\\FunctionDrivers";
    EXPECT_EQ(0, ApplyRegistryRecord(&usb, 1)) << "the key is missing and a text record does not create it";
    MakeKey(key);
    EXPECT_EQ(1, ApplyRegistryRecord(&usb, 1));
    EXPECT_EQ(1, ApplyRegistryRecord(&usb, 1)) << "already there";
    // The registry cannot be written to the card: the change is reported as failed.
    qplat::FailFileWritesAfter(0);
    EXPECT_EQ(0, ApplyRegistryRecord(&usb, 0));
    EXPECT_EQ(0, ApplyRegistryRecord(&g_registryRecords[REGREC_TASKBAR_AUTOHIDE], 0));
    qplat::FailFileWritesAfter(-1);
    EXPECT_EQ(1, ApplyRegistryRecord(&usb, 0));
    EXPECT_EQ(TextBytes(u"Mass_Storage_Class"), Query(key, u"DefaultClientDriver").data);
    RegistryRecord binary = usb;
    binary.type = REG_BINARY;
    EXPECT_EQ(0, ApplyRegistryRecord(&binary, 0));
    EXPECT_EQ(0, ApplyRegistryRecord(nullptr, 0));
}

TEST_F(DeviceSetupTest, DwordRecordChoosesValueAOrB)
{
    const RegistryRecord& hide = g_registryRecords[REGREC_TASKBAR_AUTOHIDE];
    ApplyRegistryRecord(&hide, 0);
    EXPECT_EQ(DwordBytes(0), Query(u"\\SOFTWARE\\Microsoft\\Shell\\AutoHide", u"Default").data);
    ApplyRegistryRecord(&hide, 1);
    EXPECT_EQ(DwordBytes(1), Query(u"\\SOFTWARE\\Microsoft\\Shell\\AutoHide", u"Default").data);
    ApplyRegistryRecord(&g_registryRecords[REGREC_LANGUAGE_OVERRIDE], 2);
    EXPECT_EQ(DwordBytes(1033), Query(u"\\nls\\overrides", u"LCID").data);
}

TEST_F(DeviceSetupTest, GmtZoneIsSetOnlyWhenNamedOtherwise)
{
    root.UseUtcZone();
    EXPECT_EQ(1, SetGmtTimeZone());
    TIME_ZONE_INFORMATION zone{};
    GetTimeZoneInformation(&zone);
    EXPECT_EQ(u"GMT Standard Time", qplat::FieldText(zone.StandardName, 32));
    EXPECT_EQ(u"GMT Daylight Time", qplat::FieldText(zone.DaylightName, 32));
    // The biases, then daylight from the last Sunday of March at 01:00 to the
    // last of October.
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(zone.Bias, 0), FIELD_IS(zone.StandardBias, 0),
                                 FIELD_IS(zone.DaylightBias, -60)));
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(zone.DaylightDate.wMonth, 3), FIELD_IS(zone.DaylightDate.wDayOfWeek, 0),
                                 FIELD_IS(zone.DaylightDate.wDay, 5), FIELD_IS(zone.DaylightDate.wHour, 1),
                                 FIELD_IS(zone.StandardDate.wMonth, 10), FIELD_IS(zone.StandardDate.wDay, 5)));

    // Already named GMT: left alone even though its rules differ.
    TIME_ZONE_INFORMATION odd{};
    qplat::CopyField(odd.StandardName, 32, u"GMT Standard Time");
    odd.Bias = 120;
    ASSERT_TRUE(SetTimeZoneInformation(&odd));
    EXPECT_EQ(1, SetGmtTimeZone());
    TIME_ZONE_INFORMATION after{};
    GetTimeZoneInformation(&after);
    EXPECT_EQ(120, after.Bias);
    EXPECT_EQ(0, after.DaylightBias);
}

TEST_F(DeviceSetupTest, BluetoothCardModeDropsTheSecurityKeyAndSignalsTheDriver)
{
    MakeKey(u"\\Comm\\Security\\bluetooth\\pins");
    MakeKey(u"\\Comm\\Security\\other");
    qplat::ClearDriverRequests();
    EnableBluetoothCardMode();
    EXPECT_FALSE(KeyExists(u"\\Comm\\Security\\bluetooth"));
    EXPECT_TRUE(KeyExists(u"\\Comm\\Security\\other"));

    const auto requests = qplat::DriverRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("BTD0:", requests[0].device);
    EXPECT_EQ(0x1040004u, requests[0].code);
    EXPECT_EQ(std::string("c\0a\0r\0d\0\0\0", 10), requests[0].input);
}

TEST_F(DeviceSetupTest, PowerOffPreparesTheDriverThenSwitchesOffOrResets)
{
    std::vector<DWORD> handled;
    qplat::SetPowerHandler([&](DWORD state) { handled.push_back(state); });
    qplat::ClearDriverRequests();

    EXPECT_EQ(1, PowerOffDevice());
    const auto requests = qplat::DriverRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("YGI1:", requests[0].device);
    EXPECT_EQ(0x22043Cu, requests[0].code);
    EXPECT_TRUE(requests[0].input.empty());
    ASSERT_EQ(1u, handled.size());
    EXPECT_EQ(static_cast<DWORD>(POWER_STATE_OFF), handled[0]);

    // MediaTek hardware is reset instead of switched off.
    SetText(kUsbKey, u"Manufacturer", u"MediaTek");
    EXPECT_EQ(1, PowerOffDevice());
    ASSERT_EQ(2u, handled.size());
    EXPECT_EQ(static_cast<DWORD>(POWER_STATE_RESET), handled[1]);

    EXPECT_EQ(1, ResetDevice());
    ASSERT_EQ(3u, handled.size());
    EXPECT_EQ(static_cast<DWORD>(POWER_STATE_RESET), handled[2]);
}

TEST_F(DeviceSetupTest, StorageCardIsPresentWhenItsFolderExists)
{
    EXPECT_FALSE(IsStorageCardPresent());
    root.MakeFolder(u"\\SDMMC");
    EXPECT_TRUE(IsStorageCardPresent());
    // Asked from the card-watch thread too.
    BOOL fromThread = FALSE;
    std::thread watch([&] { fromThread = IsStorageCardPresent(); });
    watch.join();
    EXPECT_TRUE(fromThread);
}

TEST_F(DeviceSetupTest, DiagnosticLogWritesNothing)
{
    root.MakeFolder(u"\\SDMMC\\Autorun");
    const std::string before = PlatformState();
    AppendDiagnosticLog("sTire = 12");
    AppendDiagnosticLog(nullptr, "sDiam = 900");
    size_t files = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root.Path(), ec))
        files += entry.is_regular_file() && entry.path().string().find(qplat::PlatformFolder()) != 0;
    EXPECT_EQ(0u, files);
    EXPECT_EQ(before, PlatformState());
}

TEST(DeviceText, UnitFactorLooksAtTheLowByte)
{
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(GetUnitFactor(1), 1000), FIELD_IS(GetUnitFactor(2), 25400),
                                 FIELD_IS(GetUnitFactor(0x302), 25400), FIELD_IS(GetUnitFactor(0), 1000),
                                 FIELD_IS(GetUnitFactor(3), 1000)));
}

TEST(DeviceText, HexAddressesAreReadAndLowerCased)
{
    WCHAR address[] = u"00a0C6FF0011";
    EXPECT_EQ(0xA0C6FF0011ull, HexTextToNumber(address));
    EXPECT_EQ(690533367825ull, 0xA0C6FF0011ull);
    EXPECT_EQ(u"00a0c6ff0011", std::u16string(address));

    WCHAR colons[] = u"00:A0:C6:FF:00:11";
    EXPECT_EQ(0xA0C6FF0011ull, HexTextToNumber(colons));
    EXPECT_EQ(u"00:a0:c6:ff:00:11", std::u16string(colons));

    // All twelve digits count, the highest pair first; beyond twelve nothing
    // more is taken, so the result stays within 48 bits.
    WCHAR full[] = u"FFFFFFFFFFFF";
    EXPECT_EQ(0xFFFFFFFFFFFFull, HexTextToNumber(full));
    WCHAR longer[] = u"123456789ABCDEF0123";
    EXPECT_EQ(0x123456789ABCull, HexTextToNumber(longer));
    EXPECT_EQ(u"123456789abcdef0123", std::u16string(longer));

    WCHAR none[] = u"xyz-";
    EXPECT_EQ(0u, HexTextToNumber(none));
    WCHAR empty[] = u"";
    EXPECT_EQ(0u, HexTextToNumber(empty));
    EXPECT_EQ(0u, HexTextToNumber(nullptr));

    // The link monitor reaches it through a language table.
    CLanguage owner;
    WCHAR again[] = u"0000000000FF";
    EXPECT_EQ(255u, owner.HexTextToNumber(again));
}

TEST(DeviceText, IntToTextIsPerThread)
{
    EXPECT_EQ(u"-2147483648", std::u16string(IntToText(-2147483647 - 1)));
    EXPECT_EQ(u"0", std::u16string(IntToText(0)));
    WCHAR* mine = IntToText(12345);
    std::u16string other;
    std::thread t([&] { other = IntToText(987); });
    t.join();
    EXPECT_EQ(u"12345", std::u16string(mine));
    EXPECT_EQ(u"987", other);
}

}  // namespace
