// The command line of the programs and the choice of device root and screen.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/entry/Entry.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDeviceRoot.h"

namespace {

using qtest::ScopedEnv;

int Parse(std::vector<std::string> args, qplat::EntryOptions& o, std::string& error,
          qplat::EntryOptionSet set = qplat::EntryOptionSet::Application)
{
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    error.clear();
    return qplat::ParseEntryOptions(static_cast<int>(argv.size()), argv.data(), o, error, set);
}

TEST(Entry, OptionsAreReadInAnyOrderAndInBothSpellings)
{
    qplat::EntryOptions o;
    std::string error;
    ASSERT_EQ(Parse({"Qav5_PA", "--script", "s.txt", "--headless", "--root=/tmp/r"}, o, error), 1);
    EXPECT_EQ(o.root, "/tmp/r");
    EXPECT_EQ(o.script, "s.txt");
    EXPECT_TRUE(o.headless);
    ASSERT_EQ(Parse({"Qav5_PA"}, o, error), 1);
    EXPECT_TRUE(o.root.empty());
    EXPECT_FALSE(o.headless);
    EXPECT_EQ(Parse({"Qav5_PA", "--help"}, o, error), 0);
}

TEST(Entry, UnknownOptionsAndMissingValuesAreErrors)
{
    qplat::EntryOptions o;
    std::string error;
    EXPECT_EQ(Parse({"Qav5_PA", "--fast"}, o, error), -1);
    EXPECT_NE(error.find("--fast"), std::string::npos);
    EXPECT_EQ(Parse({"Qav5_PA", "--root"}, o, error), -1);
    EXPECT_EQ(Parse({"Qav5_PA", "--root="}, o, error), -1);
    EXPECT_EQ(Parse({"Qav5_PA", "--headless=yes"}, o, error), -1);
    EXPECT_EQ(Parse({"Qav5_PA", "stray"}, o, error), -1);
    // A second option would silently win over the first, in either spelling.
    EXPECT_EQ(Parse({"Qav5_PA", "--root", "/tmp/a", "--root=/tmp/b"}, o, error), -1);
    EXPECT_NE(error.find("option --root is given twice"), std::string::npos) << error;
    EXPECT_EQ(Parse({"Qav5_PA", "--headless", "--headless"}, o, error), -1) << "a flag as well";
    EXPECT_EQ(Parse({"RunQav5", "--root=/tmp/a", "--root", "/tmp/a"}, o, error, qplat::EntryOptionSet::RootOnly), -1);
    EXPECT_NE(error.find("option --root is given twice"), std::string::npos) << error;
    EXPECT_EQ(qplat::EntryUsage("/usr/bin/Qav5_PA"), "usage: Qav5_PA [--root DIR] [--headless] [--script FILE]");
}

// The launcher has no screen and passes nothing on: the screen's options are
// errors there, in either spelling, and its usage line offers only the root.
TEST(Entry, TheRootOnlySetRefusesTheScreensOptions)
{
    const auto set = qplat::EntryOptionSet::RootOnly;
    qplat::EntryOptions o;
    std::string error;
    std::vector<std::string> args = {"RunQav5", "--root", "/tmp/r", "--headless"};
    auto parse = [&](std::vector<std::string> words) { return Parse(words, o, error, set); };
    EXPECT_EQ(parse(args), -1);
    EXPECT_NE(error.find("--headless"), std::string::npos) << error;
    EXPECT_EQ(parse({"RunQav5", "--script", "s.txt"}), -1);
    EXPECT_NE(error.find("--script"), std::string::npos) << error;
    EXPECT_EQ(parse({"RunQav5", "--script=s.txt"}), -1);
    EXPECT_NE(error.find("--script"), std::string::npos) << error;
    ASSERT_EQ(parse({"RunQav5", "--root=/tmp/r"}), 1);
    EXPECT_EQ(o.root, "/tmp/r");
    EXPECT_EQ(parse({"RunQav5", "--help"}), 0);
    EXPECT_EQ(qplat::EntryUsage("/usr/bin/RunQav5", set), "usage: RunQav5 [--root DIR]");
    EXPECT_EQ(qplat::EntryUsage("", set), "usage: RunQav5 [--root DIR]");
}

TEST(Entry, AnOptionWordIsNeverTakenAsAValue)
{
    qplat::EntryOptions o;
    std::string error;
    EXPECT_EQ(Parse({"Qav5_PA", "--root", "--headless"}, o, error), -1);
    EXPECT_NE(error.find("--root"), std::string::npos);
    EXPECT_TRUE(o.root.empty());
    EXPECT_EQ(Parse({"Qav5_PA", "--script", "--root", "/tmp/r"}, o, error), -1);
    EXPECT_NE(error.find("--script"), std::string::npos);
    EXPECT_EQ(Parse({"Qav5_PA", "--root", "-h"}, o, error), -1);
    // Spelled with "=", the value is taken as written.
    ASSERT_EQ(Parse({"Qav5_PA", "--root=--odd", "--headless"}, o, error), 1);
    EXPECT_EQ(o.root, "--odd");
    EXPECT_TRUE(o.headless);
}

// Runs RunEntry: its status, and whether WinMain was reached ("status 2, not
// run").
std::string RunOnce(const qplat::EntryOptions& o, std::string& message)
{
    bool ran = false;
    testing::internal::CaptureStderr();
    const int rc = qplat::RunEntry(o, [&](HINSTANCE, LPWSTR) {
        ran = true;
        return 0;
    });
    message = testing::internal::GetCapturedStderr();
    return "status " + std::to_string(rc) + (ran ? ", run" : ", not run");
}
const std::string kRefused = "status 2, not run";

TEST(Entry, ARootThatIsNoFolderAndAScriptThatIsNoFileAreRefusedWithAMessage)
{
    qtest::TempDeviceRoot base;
    qplat::EntryOptions o;
    o.headless = true;
    std::string message;
    {
        std::ofstream(base.Path() + "/plain") << "x";
    }
    o.root = base.Path() + "/plain";
    EXPECT_EQ(RunOnce(o, message), kRefused);
    EXPECT_NE(message.find("not a folder"), std::string::npos) << message;
    o.root = base.Path() + "/plain/below";
    EXPECT_EQ(RunOnce(o, message), kRefused) << "cannot be created";
    EXPECT_NE(message.find("cannot create"), std::string::npos) << message;

    // A missing root is made.
    o.root = base.Path() + "/new/root";
    EXPECT_EQ(RunOnce(o, message), "status 0, run");
    EXPECT_TRUE(std::filesystem::is_directory(o.root));

    o.script = base.Path();  // a folder (it used to hang)
    EXPECT_EQ(RunOnce(o, message), kRefused);
    EXPECT_NE(message.find("folder"), std::string::npos) << message;
    o.script = base.Path() + "/locked.txt";
    {
        std::ofstream(o.script) << "quit\n";
    }
    std::filesystem::permissions(o.script, std::filesystem::perms::none);
    if (geteuid() != 0) {  // the superuser reads it anyway
        EXPECT_EQ(RunOnce(o, message), kRefused);
        EXPECT_NE(message.find(o.script), std::string::npos) << message;
    }
    std::filesystem::permissions(o.script, std::filesystem::perms::owner_all);
}

// A run that its script stops stops before it starts: a missing device root
// is not made for it.
TEST(Entry, AScriptThatIsRefusedLeavesAMissingRootUnmade)
{
    qtest::TempDeviceRoot base;
    qplat::EntryOptions o;
    o.headless = true;
    o.root = base.Path() + "/missing/root";
    std::string message;
    o.script = base.Path() + "/no-such-script.txt";
    EXPECT_EQ(RunOnce(o, message), kRefused);
    EXPECT_NE(message.find("no-such-script.txt"), std::string::npos) << message;
    EXPECT_FALSE(std::filesystem::exists(base.Path() + "/missing")) << "the root was made";
    o.script = base.Path();  // a folder
    EXPECT_EQ(RunOnce(o, message), kRefused);
    EXPECT_FALSE(std::filesystem::exists(base.Path() + "/missing")) << "the root was made";
    {
        std::ofstream(base.Path() + "/bad.txt") << "jump 1 2\n";
    }
    o.script = base.Path() + "/bad.txt";
    EXPECT_EQ(RunOnce(o, message), kRefused);
    EXPECT_NE(message.find("jump"), std::string::npos) << message;
    EXPECT_FALSE(std::filesystem::exists(base.Path() + "/missing")) << "the root was made";

    // A root that cannot be made leaves no script behind for the next run.
    {
        std::ofstream(base.Path() + "/plain") << "x";
        std::ofstream(base.Path() + "/good.txt") << "tap 1 1\nquit\n";
    }
    o.root = base.Path() + "/plain/below";
    o.script = base.Path() + "/good.txt";
    EXPECT_EQ(RunOnce(o, message), kRefused);
    EXPECT_TRUE(qplat::InputScriptFinished()) << "the script stayed loaded";
}

TEST(Entry, DeviceRootComesFromTheOptionThenTheEnvironmentThenTheDefault)
{
    qplat::EntryOptions o;
    ScopedEnv env("QAV5_ROOT", "/tmp/from-env");
    o.root = "/tmp/from-option";
    EXPECT_EQ(qplat::ChooseDeviceRoot(o), "/tmp/from-option");
    o.root.clear();
    EXPECT_EQ(qplat::ChooseDeviceRoot(o), "/tmp/from-env");
    ScopedEnv none("QAV5_ROOT", nullptr);
    EXPECT_EQ(qplat::ChooseDeviceRoot(o), qplat::DefaultDeviceRoot());
}

// Unless SDL_VIDEODRIVER names a driver that shows nothing: asked for by
// name, it is a window with or without a display.
TEST(Entry, WithoutADisplayTheScreenIsHeadless)
{
    ScopedEnv x("DISPLAY", nullptr);
    ScopedEnv w("WAYLAND_DISPLAY", nullptr);
    qplat::EntryOptions o;
    using Kind = qplat::PresenterKind;
    const struct {
        const char* driver;
        Kind kind;
    } drivers[] = {{"offscreen", Kind::Window}, {"DUMMY", Kind::Window}, {"x11,offscreen", Kind::Window},
                   {"x11", Kind::Headless}, {"", Kind::Headless}};
    for (const auto& d : drivers) {
        ScopedEnv named("SDL_VIDEODRIVER", d.driver);
        EXPECT_EQ(qplat::ChoosePresenter(o), d.kind) << d.driver;
    }
    ScopedEnv unnamed("SDL_VIDEODRIVER", nullptr);
    EXPECT_EQ(qplat::ChoosePresenter(o), qplat::PresenterKind::Headless);
    ScopedEnv x2("DISPLAY", ":0");
    EXPECT_EQ(qplat::ChoosePresenter(o), qplat::PresenterKind::Window);
    o.headless = true;
    EXPECT_EQ(qplat::ChoosePresenter(o), qplat::PresenterKind::Headless);
}

TEST(Entry, RunEntryRunsWinMainOnTheChosenRootAndStopsThePresenter)
{
    qtest::TempDeviceRoot root;
    qplat::EntryOptions o;
    o.root = root.Path();
    o.headless = true;
    HINSTANCE seen = nullptr;
    int rc = qplat::RunEntry(o, [&](HINSTANCE instance, LPWSTR commandLine) {
        seen = instance;
        EXPECT_EQ(qplat::DeviceRoot(), root.Path());
        EXPECT_EQ(qplat::ActivePresenter(), qplat::PresenterKind::Headless);
        EXPECT_TRUE(commandLine && commandLine[0] == 0);
        return 7;
    });
    EXPECT_EQ(rc, 7);
    EXPECT_EQ(seen, qplat::ProgramInstance());
    EXPECT_EQ(qplat::ActivePresenter(), qplat::PresenterKind::None);
    o.script = root.Path() + "/no-such-script.txt";
    EXPECT_EQ(qplat::RunEntry(o, [](HINSTANCE, LPWSTR) { return 0; }), 2);
}

}  // namespace
