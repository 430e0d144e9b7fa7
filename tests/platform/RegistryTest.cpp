// The registry: values, sizes, keys, persistence and damaged files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/WinKernel.h"
#include "tests/support/PipeGuard.h"
#include "tests/support/TempDeviceRoot.h"

namespace {

using qtest::DeviceRootTest;

const char16_t kProfiles[] = u"\\System\\StorageManager\\Profiles\\SDMemory\\";

HKEY Create(HKEY parent, const char16_t* path, DWORD* disposition = nullptr)
{
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition));
    return key;
}

LONG SetText(HKEY key, const char16_t* name, const std::u16string& text, bool withTerminator = true)
{
    DWORD bytes = static_cast<DWORD>((text.size() + (withTerminator ? 1 : 0)) * sizeof(char16_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

LONG SetDword(HKEY key, const char16_t* name, DWORD value)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

std::string RegistryFile()
{
    return qplat::PlatformFolder() + "/registry.txt";
}

TEST_F(DeviceRootTest, RegistryValuesAndQuerySizes)
{
    DWORD disposition = 0;
    HKEY key = Create(HKEY_LOCAL_MACHINE, kProfiles, &disposition);
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    ASSERT_EQ(ERROR_SUCCESS, SetText(key, u"Folder", u"SDMMC"));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(key, u"Count", 0x12345678));
    const BYTE blob[3] = {0, 0xFF, 0x7F};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"Blob", 0, REG_BINARY, blob, 3));
    RegCloseKey(key);

    // The same key under another spelling, with or without the separators.
    HKEY again = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"system\\storagemanager\\PROFILES\\sdmemory", 0,
                                           KEY_READ, &again));
    DWORD type = 0;
    DWORD size = 0;
    // Size query without a buffer.
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(again, u"FOLDER", nullptr, &type, nullptr, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(12u, size);
    // A short buffer: more data, the size needed, nothing promised in the buffer.
    WCHAR small[3];
    size = sizeof small;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(again, u"Folder", nullptr, &type, reinterpret_cast<BYTE*>(small), &size));
    EXPECT_EQ(12u, size);
    WCHAR text[64] = {};
    size = sizeof text;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(again, u"Folder", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_EQ(12u, size);
    EXPECT_EQ(std::u16string(u"SDMMC"), text);

    DWORD value = 0;
    size = sizeof value;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(again, u"count", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(0x12345678u, value);

    BYTE got[8] = {};
    size = sizeof got;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(again, u"Blob", nullptr, &type, got, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    ASSERT_EQ(3u, size);
    EXPECT_EQ(0, std::memcmp(blob, got, 3));

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(again, u"Missing", nullptr, &type, nullptr, &size));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExW(again, u"Folder", nullptr, &type, got, nullptr));

    // Overwrite with another type, then delete.
    ASSERT_EQ(ERROR_SUCCESS, SetDword(again, u"FOLDER", 7));
    size = sizeof value;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(again, u"Folder", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(again, u"folder"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(again, u"folder"));
    EXPECT_EQ(ERROR_SUCCESS, RegFlushKey(again));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(again));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(again));
}

TEST_F(DeviceRootTest, RegistryKeysOpenCreateAndDeleteWithSubKeys)
{
    HKEY missing = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Comm\\Security", 0, KEY_READ, &missing));
    EXPECT_EQ(nullptr, missing);

    HKEY bt = Create(HKEY_LOCAL_MACHINE, u"Comm\\Security\\Bluetooth\\Devices\\0001");
    SetDword(bt, u"x", 1);
    RegCloseKey(bt);
    DWORD disposition = 0;
    HKEY security = Create(HKEY_LOCAL_MACHINE, u"COMM\\security\\", &disposition);
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);

    HKEY held = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(security, u"bluetooth", 0, KEY_READ, &held));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(security, u"BLUETOOTH"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(security, u"bluetooth"));
    HKEY gone = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Comm\\Security\\Bluetooth\\Devices", 0, KEY_READ, &gone));
    // A handle to a deleted key fails cleanly.
    DWORD size = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(held, u"x", nullptr, nullptr, nullptr, &size));
    RegCloseKey(held);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyW(security, u""));
    RegCloseKey(security);

    // Roots are separate trees.
    HKEY cu = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, u"Comm", 0, KEY_READ, &cu));
}

TEST_F(DeviceRootTest, RegistryPersistsAcrossReload)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, kProfiles);
    ASSERT_EQ(ERROR_SUCCESS, SetText(key, u"Folder", u"Карта \\ [x] = y/z\n\t"));
    ASSERT_EQ(ERROR_SUCCESS, SetText(key, u"NoTerminator", u"abc", false));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(key, u"Name=With/Marks", 42));
    const BYTE odd[3] = {1, 2, 3};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"OddText", 0, REG_SZ, odd, 3));  // not whole characters
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, nullptr, 0, REG_DWORD, odd, 2));   // default value, short dword
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"Empty", 0, REG_BINARY, nullptr, 0));
    HKEY sub = Create(key, u"Empty Sub [key]");
    RegCloseKey(sub);
    RegCloseKey(key);

    root.Reload();

    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfiles, 0, KEY_READ, &key));
    WCHAR text[64] = {};
    DWORD size = sizeof text;
    DWORD type = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"folder", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_EQ(std::u16string(u"Карта \\ [x] = y/z\n\t"), text);
    EXPECT_EQ(2u * 19 + 2, size);
    size = sizeof text;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"NoTerminator", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_EQ(6u, size);
    DWORD value = 0;
    size = sizeof value;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(key, u"name=with/marks", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(42u, value);
    BYTE bytes[8] = {};
    size = sizeof bytes;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"OddText", nullptr, &type, bytes, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(3u, size);
    EXPECT_EQ(3, bytes[2]);
    size = sizeof bytes;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"", nullptr, &type, bytes, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(2u, size);
    size = sizeof bytes;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"Empty", nullptr, &type, bytes, &size));
    EXPECT_EQ(0u, size);
    HKEY opened = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(key, u"empty sub [KEY]", 0, KEY_READ, &opened));
    RegCloseKey(opened);
    RegCloseKey(key);

    // Another root starts with an empty registry.
    qtest::TempDeviceRoot other;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfiles, 0, KEY_READ, &key));
}

TEST_F(DeviceRootTest, DamagedRegistryFileIsSetAsideAndWhatParsesIsKept)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Keep");
    SetDword(key, u"A", 1);
    SetDword(key, u"B", 2);
    RegCloseKey(key);
    std::string good = qtest::ReadHostFile(RegistryFile());
    ASSERT_NE(std::string::npos, good.find("END"));

    // Cut short in the middle of the last value line.
    std::string cut = good.substr(0, good.find("B=") + 5);
    std::ofstream(RegistryFile(), std::ios::binary | std::ios::trunc) << cut;
    root.Reload();
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Keep", 0, KEY_READ, &key));
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"A", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(1u, value);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, u"B", nullptr, nullptr, nullptr, &size));
    RegCloseKey(key);
    EXPECT_EQ(cut, qtest::ReadHostFile(RegistryFile() + ".bad"));
    // The file was written again whole: the next start reads it cleanly.
    std::string rewritten = qtest::ReadHostFile(RegistryFile());
    EXPECT_NE(std::string::npos, rewritten.find("END"));

    // Pure garbage, binary zeros and over-long lines never crash.
    std::string garbage = "\x01\x02[HKLM/\xff\xfe]\nA=dword:zz\n[nope]\n=hex99999999999:0\n\\u12" + std::string(3, '\0') +
                          std::string(100000, 'x') + "\n[HKLM/ok]\nV=sz:\\u00\nW=sz:fine\n";
    std::ofstream(RegistryFile(), std::ios::binary | std::ios::trunc) << garbage;
    root.Reload();
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"ok", 0, KEY_READ, &key));
    WCHAR text[16] = {};
    size = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"W", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_EQ(std::u16string(u"fine"), std::u16string(text, size / 2));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, u"V", nullptr, nullptr, nullptr, &size));
    RegCloseKey(key);
    EXPECT_EQ(garbage, qtest::ReadHostFile(RegistryFile() + ".bad2")) << "never over the earlier one";
    EXPECT_EQ(cut, qtest::ReadHostFile(RegistryFile() + ".bad"));

    // A read error half-way is not an empty registry, which the next change
    // would write over the file with its one value: the file is kept aside.
    std::filesystem::remove(RegistryFile() + ".bad");
    std::filesystem::remove(RegistryFile() + ".bad2");
    std::ofstream(RegistryFile(), std::ios::binary | std::ios::trunc) << good;
    root.Reload();
    qplat::FailFileReadsAfter(static_cast<long long>(good.size() / 2));
    testing::internal::CaptureStderr();
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Keep", 0, KEY_READ, &key));
    std::string said = testing::internal::GetCapturedStderr();
    qplat::FailFileReadsAfter(-1);
    EXPECT_NE(std::string::npos, said.find(RegistryFile() + ": cannot be read: kept aside as registry.txt.bad")) << said;
    EXPECT_EQ(good, qtest::ReadHostFile(RegistryFile() + ".bad"));
    key = Create(HKEY_LOCAL_MACHINE, u"Later");
    EXPECT_EQ(ERROR_SUCCESS, SetDword(key, u"C", 3));
    RegCloseKey(key);
    EXPECT_EQ(good, qtest::ReadHostFile(RegistryFile() + ".bad"));
    EXPECT_NE(std::string::npos, qtest::ReadHostFile(RegistryFile()).find("C=dword:")) << "a new file beside it";

    // A set-aside the card does not confirm was made: the registry goes on
    // beside it. A folder in the way of the first name takes the next one.
    // Where it cannot be kept aside (every name taken, or the file is
    // read-only) it is not written over either.
    enum Obstacle { Unconfirmed, FolderInTheWay, EveryNameTaken, ReadOnly };
    const auto clear = [] {
        std::filesystem::remove_all(RegistryFile() + ".bad");
        for (int n = 2; n < 1000; ++n) std::filesystem::remove(RegistryFile() + ".bad" + std::to_string(n));
    };
    for (const bool unreadable : {false, true}) {
        for (const Obstacle obstacle : {Unconfirmed, FolderInTheWay, EveryNameTaken, ReadOnly}) {
            SCOPED_TRACE(testing::Message() << unreadable << " " << obstacle);
            const std::string& held = unreadable ? good : cut;
            std::filesystem::remove(RegistryFile());
            clear();
            std::ofstream(RegistryFile(), std::ios::binary | std::ios::trunc) << held;
            if (obstacle == FolderInTheWay || obstacle == EveryNameTaken)
                std::filesystem::create_directories(RegistryFile() + ".bad/full");
            for (int n = 2; obstacle == EveryNameTaken && n < 1000; ++n)
                std::ofstream(RegistryFile() + ".bad" + std::to_string(n)) << "taken";
            if (obstacle == ReadOnly)
                std::filesystem::permissions(RegistryFile(), std::filesystem::perms::owner_read);
            root.Reload();
            if (unreadable)
                qplat::FailFileReadsAfter(10);
            if (obstacle == Unconfirmed)
                qplat::FailFileSyncsAfter(0);
            testing::internal::CaptureStderr();
            key = Create(HKEY_LOCAL_MACHINE, u"Later");
            said = testing::internal::GetCapturedStderr();
            qplat::FailFileReadsAfter(-1);
            qplat::FailFileSyncsAfter(-1);
            EXPECT_EQ(ERROR_SUCCESS, SetDword(key, u"C", 3));
            const bool asideTaken = obstacle == Unconfirmed || obstacle == FolderInTheWay;
            EXPECT_EQ(asideTaken ? ERROR_SUCCESS : ERROR_WRITE_FAULT, RegFlushKey(key));
            RegCloseKey(key);
            const std::string why = RegistryFile() + (unreadable ? ": cannot be read" : ": cannot be parsed");
            const char* const told[] = {": kept aside as registry.txt.bad, not confirmed by the card",
                                        ": kept aside as registry.txt.bad2",
                                        " nor kept aside (every name for it is taken)",
                                        ": read-only: not kept aside nor written over"};
            EXPECT_NE(std::string::npos, said.find(why + told[obstacle])) << said;
            if (asideTaken) {
                EXPECT_EQ(held, qtest::ReadHostFile(RegistryFile() + (obstacle == Unconfirmed ? ".bad" : ".bad2")));
                EXPECT_NE(std::string::npos, qtest::ReadHostFile(RegistryFile()).find("C=dword:"));
            } else {
                EXPECT_EQ(held, qtest::ReadHostFile(RegistryFile()));
            }
        }
    }
    clear();
}

// A pipe in the registry file's place (a card made on a PC) held the first
// registry call in its open until a writer came, and the program before its
// first screen. It, and a folder or a link to nothing, is passed by as a
// missing file, with one line naming it; the first change puts a registry
// file in its place, but for a folder, which stays, the change then standing
// only while the program runs.
TEST_F(DeviceRootTest, APipeInPlaceOfTheRegistryFileIsPassedByAsAMissingFile)
{
    for (const qtest::Stranger stranger : qtest::kStrangers) {
        SCOPED_TRACE(static_cast<int>(stranger));
        HKEY key = Create(HKEY_LOCAL_MACHINE, u"Kept");
        SetDword(key, u"A", 1);
        RegCloseKey(key);
        ASSERT_TRUE(qtest::PutInPlace(RegistryFile(), stranger));
        root.Reload();

        LONG opened = ERROR_SUCCESS;
        testing::internal::CaptureStderr();
        const bool returned = qtest::ReturnsWithoutThePipesOtherEnd(
            {RegistryFile()}, [&] { opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Kept", 0, KEY_READ, &key); });
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(returned) << "the open waited for the pipe's other end";
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, opened) << "as on a card without the file";
        EXPECT_EQ(1, std::count(said.begin(), said.end(), '\n')) << said;
        EXPECT_NE(std::string::npos, said.find(RegistryFile() + ": " + qtest::SaidOf(stranger))) << said;
        EXPECT_EQ(stranger == qtest::Stranger::Pipe, std::filesystem::is_fifo(RegistryFile()));

        const bool folder = stranger == qtest::Stranger::Folder;
        key = Create(HKEY_LOCAL_MACHINE, u"New");
        EXPECT_EQ(ERROR_SUCCESS, SetDword(key, u"B", 2));
        EXPECT_EQ(folder ? ERROR_WRITE_FAULT : ERROR_SUCCESS, RegFlushKey(key));
        RegCloseKey(key);
        EXPECT_EQ(folder, std::filesystem::is_directory(RegistryFile()));
        EXPECT_EQ(!folder, std::filesystem::is_regular_file(RegistryFile()));
        root.Reload();
        EXPECT_EQ(folder ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS,
                  RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"New", 0, KEY_READ, &key));
        RegCloseKey(key);
        std::filesystem::remove_all(RegistryFile());
        root.Reload();
    }
}

TEST_F(DeviceRootTest, MutatedRegistryFilesNeverCrash)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"A\\B");
    SetText(key, u"Text", u"Привет \\ world");
    SetDword(key, u"D", 5);
    const BYTE blob[4] = {1, 2, 3, 4};
    RegSetValueExW(key, u"Bin", 0, REG_BINARY, blob, 4);
    RegCloseKey(key);
    const std::string good = qtest::ReadHostFile(RegistryFile());

    std::mt19937 random(12345);
    for (int round = 0; round < 25; ++round) {
        std::string text = good;
        int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            size_t at = random() % text.size();
            switch (random() % 3) {
            case 0: text[at] = static_cast<char>(random() % 256); break;
            case 1: text.erase(at, 1 + random() % 8); break;
            default: text.insert(at, 1, "\\[]=:/\n\0"[random() % 8]); break;
            }
        }
        std::ofstream(RegistryFile(), std::ios::binary | std::ios::trunc) << text;
        root.Reload();
        HKEY opened = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"A\\B", 0, KEY_READ, &opened) == ERROR_SUCCESS) {
            BYTE data[64];
            DWORD size = sizeof data;
            DWORD type = 0;
            for (const char16_t* name : {u"Text", u"D", u"Bin"})
                RegQueryValueExW(opened, name, nullptr, &type, data, &size);
            RegCloseKey(opened);
        }
        // Whatever came in, the registry works and writes a clean file.
        HKEY fresh = Create(HKEY_CURRENT_USER, u"After");
        EXPECT_EQ(ERROR_SUCCESS, SetDword(fresh, u"Round", static_cast<DWORD>(round)));
        RegCloseKey(fresh);
        std::string written = qtest::ReadHostFile(RegistryFile());
        ASSERT_GE(written.size(), 4u);
        EXPECT_EQ("END\n", written.substr(written.size() - 4));
    }
}

TEST_F(DeviceRootTest, RegistryIsSafeFromSeveralThreads)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            std::u16string path = u"Threads\\T" + std::u16string(1, static_cast<char16_t>(u'0' + t));
            HKEY key = nullptr;
            if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, 0, nullptr, &key, nullptr) != 0)
                return;
            for (DWORD i = 0; i < 20; ++i)
                SetDword(key, u"N", i);
            RegCloseKey(key);
        });
    }
    for (auto& th : threads)
        th.join();
    root.Reload();
    for (int t = 0; t < 4; ++t) {
        std::u16string path = u"Threads\\T" + std::u16string(1, static_cast<char16_t>(u'0' + t));
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key));
        DWORD value = 0;
        DWORD size = sizeof value;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"N", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
        EXPECT_EQ(19u, value);
        RegCloseKey(key);
    }
}

}  // namespace
