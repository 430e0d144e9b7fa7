// The launcher in temporary device roots: it installs "qav5.prg" from its own
// folder as "\qav5.exe" and starts it detached, without arguments, on its own
// device root; a missing source or a failed copy starts nothing and keeps an
// installed program whole; the program's exit statuses.

#include <chrono>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "launcher/Launcher.h"
#include "platform/WinKernel.h"
#include "tests/support/TempDeviceRoot.h"

namespace {

namespace fs = std::filesystem;

// A program that writes how many arguments it got and the device root it was
// given into a marker file of that root.
const std::string kMarkerProgram =
    "#!/bin/sh\nprintf '%s %s' \"$#\" \"$QAV5_ROOT\" > \"$QAV5_ROOT/marker.tmp\" && "
    "mv \"$QAV5_ROOT/marker.tmp\" \"$QAV5_ROOT/marker.txt\"\n";

// The marker file, once the started program wrote it (empty after a hang
// guard of 30 s).
std::string WaitForMarker(const qtest::TempDeviceRoot& root)
{
    for (int i = 0; i < 3000; ++i) {
        if (root.Exists(u"\\marker.txt")) return root.ReadFile(u"\\marker.txt");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "";
}

class Launcher : public qtest::DeviceRootTest {
protected:
    void TearDown() override { qplat::SetModuleDevicePath(u""); }
};

TEST_F(Launcher, InstallsTheProgramAndStartsItOnItsOwnRoot)
{
    qplat::SetModuleDevicePath(u"\\SDMMC\\Autorun\\RunQav5.exe");
    root.WriteFile(u"\\SDMMC\\Autorun\\qav5.prg", kMarkerProgram);
    root.WriteFile(u"\\qav5.exe", "an older program");
    EXPECT_EQ(LauncherMain(), LAUNCHER_STARTED);
    EXPECT_EQ(root.ReadFile(u"\\qav5.exe"), kMarkerProgram) << "an installed program is replaced";
    EXPECT_EQ(WaitForMarker(root), "0 " + root.Path()) << "no arguments, the launcher's root";
}

TEST_F(Launcher, WithoutAProgramFileNothingIsInstalledOrStarted)
{
    qplat::SetModuleDevicePath(u"\\SDMMC\\Autorun\\RunQav5.exe");
    root.WriteFile(u"\\qav5.prg", kMarkerProgram);  // not the launcher's folder
    EXPECT_EQ(LauncherMain(), LAUNCHER_NO_SOURCE);
    EXPECT_FALSE(root.Exists(u"\\qav5.exe"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(root.Exists(u"\\marker.txt"));
}

TEST_F(Launcher, AFailedCopyKeepsTheInstalledProgramAndStartsNothing)
{
    qplat::SetModuleDevicePath(u"\\SDMMC\\RunQav5.exe");
    root.WriteFile(u"\\SDMMC\\qav5.prg", kMarkerProgram);
    root.WriteFile(u"\\qav5.exe", "the installed program");
    qplat::FailFileWritesAfter(16);
    EXPECT_EQ(LauncherMain(), LAUNCHER_COPY_FAILED);
    qplat::FailFileWritesAfter(-1);
    EXPECT_EQ(root.ReadFile(u"\\qav5.exe"), "the installed program");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(root.Exists(u"\\marker.txt"));
    for (const auto& entry : fs::directory_iterator(root.Path()))
        EXPECT_EQ(entry.path().filename().string().find("qav5.exe."), std::string::npos) << "no temporary left";
}

TEST_F(Launcher, TheFolderIsTheOwnPathUpToItsLastBackslash)
{
    qplat::SetModuleDevicePath(u"\\SDMMC\\Autorun\\RunQav5.exe");
    EXPECT_EQ(GetLauncherFolder(), u"\\SDMMC\\Autorun\\");
    qplat::SetModuleDevicePath(u"\\RunQav5.exe");
    EXPECT_EQ(GetLauncherFolder(), u"\\");
    // A path longer than the handheld's 512 characters is not cut.
    std::u16string deep = u"\\";
    for (int i = 0; i < 80; ++i) deep += u"folder" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u"\\";
    ASSERT_GT(deep.size(), 512u);
    qplat::SetModuleDevicePath(deep + u"RunQav5.exe");
    EXPECT_EQ(GetLauncherFolder(), deep);
}

// The program itself, outside the device root: its folder is then "\", so it
// installs the root's "qav5.prg".
class LauncherProgram : public qtest::DeviceRootTest {
protected:
    // `extra` goes on the command line after the root option (`rootOption`,
    // else the fixture's root), `env` (an env command) before the program;
    // with `output` the standard output is kept too.
    int Run(std::string* errors, const std::string& extra = std::string(), std::string* output = nullptr,
            const char* rootOption = nullptr, const std::string& env = std::string())
    {
        const fs::path program = fs::path(QAV5_BINARY_DIR) / "launcher" / "RunQav5";
        const fs::path err = fs::path(root.Path() + "-stderr.txt");
        const fs::path out = fs::path(root.Path() + "-stdout.txt");
        const std::string option = rootOption ? rootOption : "--root \"" + root.Path() + "\"";
        const std::string command = env + " \"" + program.string() + "\" " + option + " " + extra + " 2>\"" +
                                    err.string() + "\" >\"" + out.string() + "\"";
        const int status = std::system(command.c_str());
        *errors = qtest::ReadHostFile(err);
        if (output) *output = qtest::ReadHostFile(out);
        fs::remove(err);
        fs::remove(out);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(LauncherProgram, StartsTheInstalledProgramAndEndsWithZero)
{
    root.WriteFile(u"\\qav5.prg", kMarkerProgram);
    std::string errors;
    EXPECT_EQ(Run(&errors), 0);
    EXPECT_TRUE(errors.empty()) << errors;
    EXPECT_EQ(WaitForMarker(root), "0 " + root.Path());
}

TEST_F(LauncherProgram, AMissingProgramFileIsOneLineAndANonZeroStatus)
{
    std::string errors;
    EXPECT_EQ(Run(&errors), LAUNCHER_NO_SOURCE);
    EXPECT_NE(errors.find("qav5.prg"), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1);
    EXPECT_FALSE(root.Exists(u"\\qav5.exe"));

    // A root that is not there holds none either: it is not made for nothing,
    // whether named or the per-user default.
    const std::string fresh = root.Path() + "-new";
    const std::string data = root.Path() + "-data";
    const std::string named = "--root \"" + fresh + "\"";
    EXPECT_EQ(Run(&errors, "", nullptr, named.c_str()), LAUNCHER_NO_SOURCE);
    EXPECT_NE(errors.find("no qav5.prg in " + fresh), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1);
    EXPECT_FALSE(fs::exists(fresh));
    EXPECT_EQ(Run(&errors, "", nullptr, "", "env -u QAV5_ROOT XDG_DATA_HOME=\"" + data + "\""), LAUNCHER_NO_SOURCE);
    EXPECT_NE(errors.find("no qav5.prg in " + data + "/qav5/root"), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(data));
}

// The launcher starts the program without arguments: the program's screen
// options would be dropped, leaving a program without a screen or a script
// that only a signal ends. They are refused before anything is installed.
TEST_F(LauncherProgram, RefusesTheProgramsScreenOptionsAndStartsNothing)
{
    root.WriteFile(u"\\qav5.prg", kMarkerProgram);
    root.WriteFile(u"\\script.txt", "quit\n");
    const std::string script = "\"" + root.Path() + "/script.txt\"";
    for (const std::string& extra : std::vector<std::string>{"--headless", "--script " + script, "--script=" + script}) {
        std::string errors, output;
        EXPECT_EQ(Run(&errors, extra, &output), 2) << extra;
        const std::string option = extra.substr(0, extra.find_first_of(" ="));
        EXPECT_NE(errors.find("option " + option), std::string::npos) << errors;
        EXPECT_NE(errors.find("usage: RunQav5 [--root DIR]\n"), std::string::npos) << errors;
        EXPECT_TRUE(output.empty()) << output;
        EXPECT_FALSE(root.Exists(u"\\qav5.exe")) << extra << ": the program was installed";
    }
    std::string errors, output;
    EXPECT_EQ(Run(&errors, "--help", &output), 0);
    EXPECT_EQ(output, "usage: RunQav5 [--root DIR]\n");
    EXPECT_TRUE(errors.empty()) << errors;
    EXPECT_FALSE(root.Exists(u"\\qav5.exe"));
}

}  // namespace
