#include "tests/support/TempDeviceRoot.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "settings/ProgramFolder.h"

namespace qtest {

namespace fs = std::filesystem;

namespace {

std::string NewFolder()
{
    static std::atomic<unsigned> counter{0};
    std::random_device device;
    std::mt19937_64 random(device() ^ static_cast<unsigned long long>(
                                          std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::ostringstream name;
        name << "qav5-test-" << std::hex << random() << "-" << counter++;
        fs::path candidate = base / name.str();
        std::error_code ec;
        if (fs::create_directory(candidate, ec))
            return candidate.string();
    }
    ADD_FAILURE() << "cannot create a temporary device root under " << base;
    return (base / "qav5-test-fallback").string();
}

void ResetPlatform()
{
    qplat::SyncFileWrites(false);
    qplat::FailFileWritesAfter(-1);
    qplat::FailFileReadsAfter(-1);
    qplat::FailFileSyncsAfter(-1);
    qplat::ClearDriverRequests();
    qplat::ClearPowerStateRequests();
    qplat::ClearShutdownHooks();
    qplat::ClearDebugOutput();
    qplat::SetPowerHandler([](DWORD) {});
}

}  // namespace

TempDeviceRoot::TempDeviceRoot() : path_(NewFolder())
{
    ResetPlatform();
    qplat::SetDeviceRoot(path_);
    UseUtcZone();
}

TempDeviceRoot::~TempDeviceRoot()
{
    ResetPlatform();
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
    for (const fs::path& folder : beside_) fs::remove_all(folder, ec);
}

std::string TempDeviceRoot::Host(const std::u16string& devicePath) const
{
    return qplat::HostPath(devicePath);
}

fs::path TempDeviceRoot::Beside(const std::string& suffix)
{
    const fs::path root(path_);
    const fs::path folder = root.parent_path() / (root.filename().string() + suffix);
    std::error_code ec;
    fs::create_directories(folder, ec);
    EXPECT_FALSE(ec) << "cannot create " << folder;
    beside_.push_back(folder);
    return folder;
}

void TempDeviceRoot::WriteFile(const std::u16string& devicePath, const std::string& bytes) const
{
    fs::path host = Host(devicePath);
    std::error_code ec;
    fs::create_directories(host.parent_path(), ec);
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good()) << "cannot write " << host;
}

std::string TempDeviceRoot::ReadFile(const std::u16string& devicePath) const
{
    return ReadHostFile(Host(devicePath));
}

bool TempDeviceRoot::Exists(const std::u16string& devicePath) const
{
    std::error_code ec;
    return fs::exists(Host(devicePath), ec);
}

void TempDeviceRoot::MakeFolder(const std::u16string& devicePath) const
{
    std::error_code ec;
    fs::create_directories(Host(devicePath), ec);
}

void TempDeviceRoot::UseUtcZone() const
{
    TIME_ZONE_INFORMATION zone{};
    const char16_t name[] = u"UTC";
    for (size_t i = 0; name[i]; ++i) {
        zone.StandardName[i] = name[i];
        zone.DaylightName[i] = name[i];
    }
    EXPECT_TRUE(SetTimeZoneInformation(&zone));
}

void TempDeviceRoot::UseDefaultZone() const
{
    std::error_code ec;
    fs::remove(fs::path(qplat::PlatformFolder()) / "timezone.txt", ec);
    Reload();
}

void TempDeviceRoot::Reload() const
{
    qplat::SetDeviceRoot(path_);
}

std::string ReadHostFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string ReadSourceFile(const std::filesystem::path& relative)
{
    return ReadHostFile(fs::path(QAV5_SOURCE_DIR) / relative);
}

void SetCardFolder(const std::u16string& folder)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, PROGRAM_FOLDER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    const LONG set = RegSetValueExW(key, PROGRAM_FOLDER_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                                    static_cast<DWORD>((folder.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, set);
}

ManualClock::ManualClock(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME start{};
    start.wYear = year;
    start.wMonth = month;
    start.wDay = day;
    start.wHour = hour;
    start.wMinute = minute;
    start.wSecond = second;
    qplat::UseManualClock(start);
}

ManualClock::~ManualClock()
{
    qplat::UseHostClock();
}

void ManualClock::Advance(DWORD milliseconds) const
{
    qplat::AdvanceClock(milliseconds);
}

}  // namespace qtest
