// Test fixtures shared by every test folder: a throw-away device root and a
// driven clock.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/WinKernel.h"

namespace qtest {

// Creates a fresh empty host folder under the system's temporary folder, makes
// it the device root and starts from clean platform state: an empty registry,
// no clock offset, the time zone UTC without daylight rules (so local time is
// the same on every host; the root's hidden platform folder then exists), no
// injected read, write or sync failure, no
// recorded driver or power requests, no shut-down hooks, and a power handler
// that only records (so a power-off in a test never ends the test program).
// Writes are not synced to the storage (qplat::SyncFileWrites(false)): a
// throw-away folder needs no durability and the suite stays fast.
// The folder is removed again on destruction.
class TempDeviceRoot {
public:
    TempDeviceRoot();
    ~TempDeviceRoot();
    TempDeviceRoot(const TempDeviceRoot&) = delete;
    TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;

    // Host folder standing for "\".
    const std::string& Path() const { return path_; }
    // Host path of a handheld path below the root ("\SDMMC\a.txt").
    std::string Host(const std::u16string& devicePath) const;
    // A fresh host folder beside the root, named after it with `suffix`
    // ("-run"), for what a test keeps off the card (scripts, snapshots);
    // removed with the root.
    std::filesystem::path Beside(const std::string& suffix);

    // Helpers for arranging and checking files by handheld path. WriteFile
    // creates the folders on the way.
    void WriteFile(const std::u16string& devicePath, const std::string& bytes) const;
    std::string ReadFile(const std::u16string& devicePath) const;
    bool Exists(const std::u16string& devicePath) const;
    void MakeFolder(const std::u16string& devicePath) const;

    // Sets the time zone to UTC without daylight rules (as on construction).
    void UseUtcZone() const;
    // Forgets the set zone, so the platform's default (the host's offset)
    // applies, as on a root where no zone was ever set.
    void UseDefaultZone() const;

    // Drops the cached registry, clock offset and zone, as a new start of the
    // program on the same root would.
    void Reload() const;

private:
    std::string path_;
    std::vector<std::filesystem::path> beside_;
};

// Switches to the manual clock for its lifetime, then back to the host clock.
// The start is the system time (UTC); with the root's UTC zone it is the local
// time too.
class ManualClock {
public:
    explicit ManualClock(WORD year = 2024, WORD month = 1, WORD day = 1, WORD hour = 0, WORD minute = 0,
                         WORD second = 0);
    ~ManualClock();
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;
    void Advance(DWORD milliseconds) const;
};

// The bytes of a host file (empty when it cannot be read).
std::string ReadHostFile(const std::filesystem::path& path);
// A file of the source tree: the delivered data files, the README, the tools.
std::string ReadSourceFile(const std::filesystem::path& relative);

// Names the storage card's folder in the registry, where the program looks
// up its program folder (the card's "Autorun" folder below it).
void SetCardFolder(const std::u16string& folder = u"\\SDMMC");

// A GoogleTest fixture owning a TempDeviceRoot.
class DeviceRootTest : public ::testing::Test {
protected:
    TempDeviceRoot root;
};

}  // namespace qtest
