// The program in a real window on an X server, started without a session bus
// in its environment: nothing it starts may outlive it. SDL's desktop-bus
// library would otherwise start dbus-launch and a session dbus-daemon of its
// own, which stay after the window has closed. Every process the program
// starts inherits its environment, so a mark put there finds them all.

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/shell/ShellTestSupport.h"

namespace {

namespace fs = std::filesystem;

// The processes whose environment holds `entry` ("NAME=value").
std::vector<std::string> ProcessesWith(const std::string& entry)
{
    std::vector<std::string> found;
    DIR* proc = ::opendir("/proc");
    if (!proc) return found;
    while (dirent* e = ::readdir(proc)) {
        const std::string pid = e->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string environ = qtest::ReadHostFile("/proc/" + pid + "/environ");
        size_t at = 0;
        bool has = false;
        while (!has && at < environ.size()) {
            const size_t end = environ.find('\0', at);
            has = environ.compare(at, (end == std::string::npos ? environ.size() : end) - at, entry) == 0;
            at = end == std::string::npos ? environ.size() : end + 1;
        }
        if (has) {
            std::string command = qtest::ReadHostFile("/proc/" + pid + "/cmdline");
            for (char& c : command)
                if (c == '\0') c = ' ';
            found.push_back(pid + ": " + command);
        }
    }
    ::closedir(proc);
    return found;
}

// An X server of the test's own on a free display, ended with the object.
class XServer {
public:
    XServer()
    {
        int ready[2];
        if (::pipe(ready) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 1);
            ::dup2(quiet, 2);
            const std::string fd = std::to_string(ready[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "800x600x24",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ready[1]);
        // Xvfb writes the display's number once it takes connections.
        char c;
        while (m_pid > 0 && ::read(ready[0], &c, 1) == 1 && c != '\n') m_display.push_back(c);
        ::close(ready[0]);
    }
    ~XServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    std::string Display() const { return m_display.empty() ? std::string() : ":" + m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

bool HasXvfb() { return std::system("command -v Xvfb >/dev/null 2>&1") == 0; }

class DesktopBusRun : public qtest::ProgramRunTest {};

TEST_F(DesktopBusRun, AWindowedRunWithoutASessionBusLeavesNoProcessBehind)
{
    if (!HasXvfb()) GTEST_SKIP() << "needs Xvfb (tools/install-deps installs it)";
    XServer x;
    ASSERT_FALSE(x.Display().empty()) << "the X server did not start";
    const fs::path script = dir / "script.txt", pidFile = dir / "pid", err = dir / "err", shot = dir / "up.png";
    std::ofstream(script) << "wait 300\nsnapshot " << shot.string() << "\nwait 600000\nquit\n";
    const std::string mark = "QAV5_TEST_MARK=" + std::to_string(std::random_device{}());
    const fs::path program = fs::path(QAV5_BINARY_DIR) / "shell" / "Qav5_PA";
    // SDL's libraries keep blocks the leak checker would report.
    const std::string command = "sh -c 'echo $$ > \"" + pidFile.string() +
                                "\"; exec env -u DBUS_SESSION_BUS_ADDRESS -u XDG_RUNTIME_DIR DISPLAY=" + x.Display() +
                                " SDL_VIDEODRIVER=x11 ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 " + mark + " \"" +
                                program.string() + "\" --root \"" + root.Path() + "\" --script \"" + script.string() +
                                "\" 2>\"" + err.string() + "\"'";
    int status = -1;
    std::thread run([&] { status = std::system(command.c_str()); });

    // The program runs its script once the screen is up: it is then in a
    // window on the server if it has the X library loaded (SDL loads it only
    // for that). Then it is asked to close.
    qtest::AwaitFile(shot);
    pid_t pid = 0;
    std::ifstream(pidFile) >> pid;
    const bool windowed =
        pid > 0 && qtest::ReadHostFile("/proc/" + std::to_string(pid) + "/maps").find("libX11") != std::string::npos;
    if (pid > 0) ::kill(pid, SIGTERM);
    run.join();
    EXPECT_TRUE(windowed) << "the program never opened its window: " << qtest::ReadHostFile(err.string());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << qtest::ReadHostFile(err.string());

    const std::vector<std::string> left = ProcessesWith(mark);
    for (const std::string& p : left) ADD_FAILURE() << "left running: " << p;
    for (const std::string& p : left) ::kill(std::stoi(p), SIGKILL);
}

}  // namespace
