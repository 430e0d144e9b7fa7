// The entry of every test program. Tests never touch the operator's own device
// root: a test that forgets its TempDeviceRoot still lands in a throw-away
// folder, never in the per-user default. Nor the machine's Bluetooth: the
// neighbourhood file answers unless a test names BlueZ (on a bus of its own).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/WinKernel.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    std::error_code ec;
    std::filesystem::path fallback = std::filesystem::temp_directory_path(ec) / "qav5-test-default-root";
    qplat::SetDeviceRoot(fallback.string());
    qplat::SetPowerHandler([](DWORD) {});
    ::setenv("QAV5_BLUETOOTH", "file", 1);
    return RUN_ALL_TESTS();
}
