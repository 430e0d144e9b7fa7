// A throw-away device root with a storage card and an installed program
// folder ("\SDMMC\Autorun\" with its "DB\"), for the tests of the record
// files. Host-side file access (sizes, raw bytes) goes through std::filesystem
// on the host path, independently of the code under test. And the journal
// records the tests store.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/JournalRecords.h"
#include "settings/ProgramFolder.h"
#include "tests/support/TempDeviceRoot.h"

namespace recordtest {

// A record with every byte `byte`.
template <class Record>
std::unique_ptr<Record> Filled(int byte)
{
    auto rec = std::make_unique<Record>();
    std::memset(rec.get(), byte, sizeof(Record));
    return rec;
}

template <class Record>
std::unique_ptr<Record> Zeroed()
{
    return Filled<Record>(0);
}

// A wheel record told apart by `tag`: at both ends of its profile and in a
// result word.
inline std::unique_ptr<QavJournalRecord> QavRecord(LONG tag)
{
    auto rec = Zeroed<QavJournalRecord>();
    qplat::CopyField(rec->date, 10, u"09/12/26");
    rec->profileZ[0] = tag;
    rec->profileZ[RECORD_PROFILE_POINTS - 1] = -tag;
    rec->values4to34[30] = tag;
    return rec;
}

class DeviceRootTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = std::filesystem::path(device_.Path());
        std::filesystem::create_directories(root_ / "SDMMC" / "Autorun" / "DB");
        qtest::SetCardFolder();
        qplat::FailFileWritesAfter(-1);
    }

    void TearDown() override
    {
        qplat::FailFileWritesAfter(-1);
    }

    std::filesystem::path ProgramDir() const { return root_ / "SDMMC" / "Autorun"; }
    std::filesystem::path DbDir() const { return ProgramDir() / "DB"; }

    static bool Exists(const std::filesystem::path& p) { return std::filesystem::exists(p); }
    static uintmax_t SizeOf(const std::filesystem::path& p) { return std::filesystem::file_size(p); }

    static std::vector<uint8_t> ReadBytes(const std::filesystem::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    static void WriteBytes(const std::filesystem::path& p, const std::vector<uint8_t>& bytes)
    {
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    // Bytes whose value depends on their position and a seed, so that any
    // shift, swap or overwrite shows.
    static std::vector<uint8_t> Pattern(size_t size, uint32_t seed)
    {
        std::vector<uint8_t> bytes(size);
        uint32_t v = seed * 2654435761u + 1;
        for (auto& b : bytes) {
            v = v * 1103515245u + 12345u;
            b = static_cast<uint8_t>(v >> 16);
        }
        return bytes;
    }

    qtest::TempDeviceRoot device_;
    std::filesystem::path root_;
};

}  // namespace recordtest
