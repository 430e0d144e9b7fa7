// A device root whose platform folder cannot hold the single-copy lock is no
// sign of a second copy: the program says so in one line and runs, guarded by
// its window check, which still turns a true second copy away. Where no guard
// is left it does not run at all.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/shell/ShellTestSupport.h"
#include "tests/support/ProgramScript.h"

namespace {

namespace fs = std::filesystem;

class InstanceClaimRun : public qtest::ProgramRunTest {
protected:
    // Runs the program on the root with the script (through `prefix`, a
    // command that starts it); its status, and its standard error in `err`.
    int Run(const std::string& script, std::string& err, const std::string& name = "script",
            const std::string& prefix = "", std::string rootPath = "")
    {
        if (rootPath.empty()) rootPath = root.Path();
        const fs::path errPath = dir / (name + ".err");
        const int status = qtest::RunProgramScript(rootPath, dir / (name + ".txt"), script, errPath, prefix);
        err = qtest::ReadHostFile(errPath);
        return status;
    }

public:
    int RunCopy(const std::string& script, std::string& err, const std::string& name, const std::string& prefix,
                const std::string& rootPath)
    {
        return Run(script, err, name, prefix, rootPath);
    }

protected:
    static int Lines(const std::string& text)
    {
        int n = 0;
        for (char c : text) n += c == '\n';
        return n;
    }

    fs::path PlatformFolder() const { return fs::path(root.Path()) / ".qav5-platform"; }
};

// The first copy of a test runs its script in the background, with its
// process id known so that it can be asked to close.
class BackgroundCopy {
public:
    BackgroundCopy(InstanceClaimRun& test, std::string script, fs::path pidFile, std::string rootPath = "")
        : m_pidFile(std::move(pidFile))
    {
        m_thread = std::thread([this, &test, script, rootPath] {
            status = test.RunCopy(script, err, "first", "sh -c 'echo $$ > \"" + m_pidFile.string() +
                                                           "\"; exec \"$0\" \"$@\"' ", rootPath);
            ended = true;
        });
    }
    ~BackgroundCopy() { Closed(); }
    // Asks the copy to close by its process id, as the window system would.
    void Close()
    {
        pid_t pid = 0;
        std::ifstream(m_pidFile) >> pid;
        if (pid > 0 && !ended) ::kill(pid, SIGTERM);
    }
    // Asks it to close and waits for its end; its exit status.
    int Closed()
    {
        Close();
        if (m_thread.joinable()) m_thread.join();
        return status;
    }
    std::atomic<bool> ended{false};
    int status = -1;
    std::string err;

private:
    fs::path m_pidFile;
    std::thread m_thread;
};

TEST_F(InstanceClaimRun, APlatformFolderReplacedByAFileIsSaidAndTheProgramRuns)
{
    fs::remove_all(PlatformFolder());
    std::ofstream(PlatformFolder()) << "not a folder";
    std::string err;
    const std::string shot = (dir / "start.png").string();
    ASSERT_EQ(Run("wait 300\nsnapshot " + shot + "\nquit\n", err), 0) << err;
    EXPECT_TRUE(fs::exists(shot)) << "the program ran its script";
    EXPECT_EQ(Lines(err), 2) << "the lock, and the program folder the registry there named: " << err;
    EXPECT_NE(err.find(".qav5-platform"), std::string::npos) << err;
    EXPECT_NE(err.find("window check"), std::string::npos) << err;
}

TEST_F(InstanceClaimRun, WithoutTheLockTheWindowCheckStillTurnsASecondCopyAway)
{
    fs::remove_all(PlatformFolder());
    std::ofstream(PlatformFolder()) << "not a folder";
    const fs::path firstShot = dir / "first.png", secondShot = dir / "second.png";
    // The first copy signals with a snapshot that its start screen is up and
    // runs on until it is asked to close.
    BackgroundCopy first(*this, "wait 300\nsnapshot " + firstShot.string() + "\nwait 600000\nquit\n",
                         dir / "first.pid");
    ASSERT_TRUE(qtest::AwaitFile(firstShot)) << "the first copy did not come up";
    std::string err;
    EXPECT_EQ(Run("wait 300\nsnapshot " + secondShot.string() + "\nquit\n", err, "second"), 0) << err;
    EXPECT_EQ(first.Closed(), 0) << first.err;
    EXPECT_FALSE(fs::exists(secondShot)) << "the second copy never ran its script";
    EXPECT_EQ(err, "") << "a second copy ends quietly, as on a writable root";
}

TEST_F(InstanceClaimRun, ARootReachedThroughALinkIsTheSameRootToTheWindowCheck)
{
    fs::remove_all(PlatformFolder());
    std::ofstream(PlatformFolder()) << "not a folder";
    const fs::path link = dir / "card-link";
    fs::create_directory_symlink(root.Path(), link);
    const fs::path firstShot = dir / "first.png", secondShot = dir / "second.png";
    std::string err;
    {
        BackgroundCopy first(*this, "wait 300\nsnapshot " + firstShot.string() + "\nwait 600000\nquit\n",
                             dir / "first.pid");
        ASSERT_TRUE(qtest::AwaitFile(firstShot)) << "the first copy did not come up";
        EXPECT_EQ(Run("wait 300\nsnapshot " + secondShot.string() + "\nquit\n", err, "second", "", link.string()), 0)
            << err;
    }
    EXPECT_FALSE(fs::exists(secondShot)) << "the copy started through the link never ran its script";
}

TEST_F(InstanceClaimRun, ASecondStartWakesACopyAsleepWithoutAWindowAndSaysSo)
{
    // The start screen's power key closes the program's windows, then the
    // device sleeps; the program ends once it is woken.
    const fs::path asleep = dir / "asleep.png", secondShot = dir / "second.png";
    std::string err;
    BackgroundCopy first(*this,
                         "wait 300\npower\nwait 200\ntap 155 190\nwait 200\nsnapshot " + asleep.string() +
                             "\nwait 600000\nquit\n",
                         dir / "first.pid");
    ASSERT_TRUE(qtest::AwaitFile(asleep)) << "the first copy did not fall asleep";
    EXPECT_EQ(Run("wait 300\nsnapshot " + secondShot.string() + "\nquit\n", err, "second"), 0) << err;
    EXPECT_FALSE(fs::exists(secondShot)) << "no second copy ran";
    EXPECT_NE(err.find("has been woken"), std::string::npos) << err;
    for (int i = 0; i < 6000 && !first.ended; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(first.ended) << "the woken copy ends as its power key asked";
}

TEST_F(InstanceClaimRun, AReadOnlyRootIsSaidAndTheProgramRuns)
{
    // Permission bits do not hold the super-user back, so the program is
    // run as another user there.
    std::string prefix;
    if (::geteuid() == 0) {
        if (std::system("command -v setpriv >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "a read-only root needs a user that permissions bind: not root, or setpriv to become one";
        prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        const fs::path program = fs::path(QAV5_BINARY_DIR) / "shell" / "Qav5_PA";
        if (std::system((prefix + "test -x \"" + program.string() + "\"").c_str()) != 0)
            GTEST_SKIP() << "the program cannot be run as another user from this build folder";
        fs::permissions(dir, fs::perms::all, fs::perm_options::add);
    }
    fs::remove_all(PlatformFolder());
    fs::permissions(root.Path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    std::string err;
    const std::string shot = (dir / "start.png").string();
    EXPECT_EQ(Run("wait 300\nsnapshot " + shot + "\nquit\n", err, "script", prefix), 0) << err;
    EXPECT_TRUE(fs::exists(shot)) << "the program ran its script: " << err;
    EXPECT_NE(err.find(".qav5-platform"), std::string::npos) << err;
    EXPECT_NE(err.find("window check"), std::string::npos) << err;
}

// Ends the process with 3 when the start was refused as unguarded.
[[noreturn]] void StartWithEveryDescriptorTaken()
{
    const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::close(lowestFree);
    const rlimit limit{static_cast<rlim_t>(lowestFree), static_cast<rlim_t>(lowestFree)};
    ::setrlimit(RLIMIT_NOFILE, &limit);
    const BOOL started = InitInstance(nullptr, SW_SHOW);
    std::_Exit(!started && LastStartOutcome() == StartOutcome::Unguarded ? 3 : 0);
}

TEST(InstanceClaimDeathTest, WithNoGuardLeftTheProgramDoesNotStart)
{
    // Every descriptor taken: neither the lock file nor the window check's
    // socket can be had, and the program must not run unguarded.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    qtest::TempDeviceRoot root;
    EXPECT_EXIT(StartWithEveryDescriptorTaken(), ::testing::ExitedWithCode(3),
                "cannot hold the single-copy lock.*window name cannot be taken.*not starting");
}

}  // namespace
