// Command line, device root and presenter choice of the process entry.

#include "platform/entry/Entry.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

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

}  // namespace

int ParseEntryOptions(int argc, char** argv, EntryOptions& options, std::string& error, EntryOptionSet set)
{
    options = EntryOptions{};
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
    if (options.headless || !DisplayAvailable()) return PresenterKind::Headless;
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
    const std::string root = ChooseDeviceRoot(options);
    if (!PrepareDeviceRoot(root, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        ClearInputScript();
        return 2;
    }
    SetDeviceRoot(root);
    PresenterKind kind = ChoosePresenter(options);
    if (!StartPresenter(kind)) {
        // No window can be opened on this display: carry on without one.
        if (kind != PresenterKind::Window || !StartPresenter(PresenterKind::Headless)) {
            std::fprintf(stderr, "cannot start the screen\n");
            return 2;
        }
    }
    static WCHAR commandLine[1] = {0};
    int result = winMain(ProgramInstance(), commandLine);
    StopPresenter();
    // A script that could not be carried out fails the run, however the
    // program ended.
    if (InputScriptFailed()) return 2;
    return result;
}

}  // namespace qplat
