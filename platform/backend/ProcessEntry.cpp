// Command line, device root and presenter choice of the process entry.

#include "platform/entry/Entry.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinUser.h"

namespace qplat {

std::string EntryUsage(const std::string& programPath, EntryOptionSet set)
{
    const bool application = set == EntryOptionSet::Application;
    std::string name = programPath;
    size_t slash = name.find_last_of('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    if (name.empty()) name = application ? "Qav5_PA" : "RunQav5";
    return "usage: " + name + (application ? " [--root DIR] [--headless] [--script FILE]" : " [--root DIR]");
}

std::string EntryHelp(const std::string& programPath)
{
    return EntryUsage(programPath) +
           "\n\n"
           "  --root DIR      the device root: the host folder that stands for the handheld's storage\n"
           "  --headless      keep the screen in memory, without a window; only a script drives it\n"
           "  --script FILE   carry out the actions of FILE, one a line (see README.md)\n"
           "\n"
           "The device root is DIR, else $QAV5_ROOT, else the default " +
           DefaultDeviceRootPath() +
           "\n($XDG_DATA_HOME/qav5/root, else $HOME/.local/share/qav5/root).\n"
           "\n"
           "Environment:\n"
           "  QAV5_ROOT                  the device root when --root is not given\n"
           "  XDG_DATA_HOME, HOME        where the default device root lies\n"
           "  DISPLAY, WAYLAND_DISPLAY   the display the window opens on; without one, only a script can run the "
           "program\n"
           "  SDL_VIDEODRIVER            SDL's video driver for the window (read by SDL); a driver that shows\n"
           "                             nothing (offscreen, dummy) is a window only when named here, and\n"
           "                             named, it is one with or without a display\n"
           "  QAV5_DEBUG                 set: the program's debug lines also go to standard error\n"
           "  QAV5_BLUETOOTH             \"bluez\" or \"file\": the Bluetooth stack (unset: the neighbourhood file\n"
           "                             bluetooth.txt of the root's .qav5-platform when there is one, else BlueZ)\n"
           "  QAV5_BLUETOOTH_INQUIRY_MS  how long BlueZ inquires, 0 to 60000 ms (unset: 10240; another value is\n"
           "                             named on standard error and 10240 taken)\n"
           "  DBUS_SYSTEM_BUS_ADDRESS    the system bus BlueZ is asked on (unset: /run/dbus/system_bus_socket)\n"
           "  DBUS_SESSION_BUS_ADDRESS, XDG_RUNTIME_DIR\n"
           "                             the session bus SDL's desktop library uses (none is started for it)";
}

namespace {

// "-h", "--root", "--anything=...": never taken as the value of the option
// before it ("--root --headless" lacks its folder).
bool IsOptionWord(const char* arg)
{
    return arg && arg[0] == '-' && arg[1] != 0;
}

// The device root must be a folder; a missing one is made.
bool PrepareDeviceRoot(const std::string& root, std::string& error)
{
    struct stat st {};
    if (::stat(root.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        error = "the device root " + root + " is not a folder";
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    if (ec || ::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = "cannot create the device root " + root + ": " + (ec ? ec.message() : std::string(std::strerror(errno)));
        return false;
    }
    return true;
}

// "DISPLAY=:87", "WAYLAND_DISPLAY=wayland-1", both or neither: the display
// a refused window was to open on, as the environment names it.
std::string AnnouncedDisplay()
{
    std::string named;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (!value || !value[0]) continue;
        named += (named.empty() ? "" : ", ") + std::string(name) + "=" + value;
    }
    return named.empty() ? "none is named" : named;
}

}  // namespace

int ParseEntryOptions(int argc, char** argv, EntryOptions& options, std::string& error, EntryOptionSet set)
{
    options = EntryOptions{};
    options.workedOnScreen = set == EntryOptionSet::Application;
    std::vector<std::string> given;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i] ? argv[i] : "";
        std::string value;
        bool hasValue = false;
        size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        if (arg == "--help" || arg == "-h") return 0;
        // Each option once, in either spelling, as the tools take theirs: a
        // second one would silently win over the first.
        if (std::find(given.begin(), given.end(), arg) != given.end()) {
            error = "option " + arg + " is given twice";
            return -1;
        }
        given.push_back(arg);
        // Taken and then dropped, they would start a program without a
        // screen or a script that nothing could end but a signal.
        if (set == EntryOptionSet::RootOnly && (arg == "--headless" || arg == "--script")) {
            error = "option " + arg + " is not taken: this program has no screen and passes nothing on";
            return -1;
        }
        if (arg == "--headless" && !hasValue) {
            options.headless = true;
            continue;
        }
        if (arg == "--root" || arg == "--script") {
            if (!hasValue) {
                if (i + 1 >= argc || !argv[i + 1] || !argv[i + 1][0] || IsOptionWord(argv[i + 1])) {
                    error = "option " + arg + " needs a value";
                    return -1;
                }
                value = argv[++i];
            }
            if (value.empty()) {
                error = "option " + arg + " needs a value";
                return -1;
            }
            (arg == "--root" ? options.root : options.script) = value;
            continue;
        }
        error = "unknown option: " + std::string(argv[i] ? argv[i] : "");
        return -1;
    }
    return 1;
}

std::string ChooseDeviceRoot(const EntryOptions& options)
{
    if (!options.root.empty()) return options.root;
    const char* env = std::getenv("QAV5_ROOT");
    if (env && env[0]) return env;
    return DefaultDeviceRoot();
}

std::string MissingDeviceRoot(const EntryOptions& options)
{
    const char* env = std::getenv("QAV5_ROOT");
    const std::string root = !options.root.empty() ? options.root : env && env[0] ? env : DefaultDeviceRootPath();
    struct stat st {};
    return ::stat(root.c_str(), &st) == 0 ? std::string() : root;
}

PresenterKind ChoosePresenter(const EntryOptions& options)
{
    if (options.headless || !(DisplayAvailable() || UnseenDriverNamed())) return PresenterKind::Headless;
    return PresenterKind::Window;
}

int RunEntry(const EntryOptions& options, const std::function<int(HINSTANCE, LPWSTR)>& winMain)
{
    // The script first: a run refused for its script leaves no device root
    // behind that it made (choosing the default root makes it).
    std::string error;
    if (!options.script.empty() && !LoadInputScript(options.script, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    // Nothing could drive a program worked on its screen that has neither a
    // window nor a script: it would run unseen, saying nothing, until a
    // signal ended it.
    const bool undriven = options.workedOnScreen && options.script.empty();
    PresenterKind kind = ChoosePresenter(options);
    if (undriven && kind == PresenterKind::Headless) {
        std::fprintf(stderr, "%s\n",
                     options.headless
                         ? "with --headless the screen is kept in memory, and there is no script (--script FILE) to "
                           "drive the program: it does not start"
                         : "there is no display (DISPLAY and WAYLAND_DISPLAY are unset) to open the window on, and no "
                           "script (--script FILE) to drive the program: it does not start");
        return 2;
    }
    // The screen before the device root: a run refused for want of a window
    // leaves nothing behind (choosing the default root makes it).
    if (!StartPresenter(kind)) {
        if (kind == PresenterKind::Window && undriven) {
            std::fprintf(stderr,
                         "no window can be opened on the display (%s), and there is no script (--script FILE) to "
                         "drive the program: it does not start\n",
                         AnnouncedDisplay().c_str());
            return 2;
        }
        // No window can be opened on this display: a script carries on
        // without one.
        if (kind != PresenterKind::Window || !StartPresenter(PresenterKind::Headless)) {
            std::fprintf(stderr, "cannot start the screen\n");
            ClearInputScript();
            return 2;
        }
    }
    const std::string root = ChooseDeviceRoot(options);
    if (!PrepareDeviceRoot(root, error)) {
        StopPresenter();
        std::fprintf(stderr, "%s\n", error.c_str());
        ClearInputScript();
        return 2;
    }
    SetDeviceRoot(root);
    static WCHAR commandLine[1] = {0};
    int result = winMain(ProgramInstance(), commandLine);
    StopPresenter();
    // A script that could not be carried out fails the run, however the
    // program ended.
    if (InputScriptFailed()) return 2;
    return result;
}

}  // namespace qplat
