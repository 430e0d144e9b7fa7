// The entry of every test program. Tests never touch the operator's own device
// root: a test that forgets its TempDeviceRoot still lands in a throw-away
// folder, never in the per-user default.
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
    return RUN_ALL_TESTS();
}
