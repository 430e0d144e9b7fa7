// Command line, device root and presenter choice of the process entry.

#include "platform/entry/Entry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/WinKernel.h"
#include "platform/WinUser.h"

namespace qplat {

std::string EntryUsage(const std::string& programPath)
{
    std::string name = programPath;
    size_t slash = name.find_last_of('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    if (name.empty()) name = "Qav5_PA";
    return "usage: " + name + " [--root DIR] [--headless] [--script FILE]";
}

int ParseEntryOptions(int argc, char** argv, EntryOptions& options, std::string& error)
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
        if (arg == "--headless" && !hasValue) {
            options.headless = true;
            continue;
        }
        if (arg == "--root" || arg == "--script") {
            if (!hasValue) {
                if (i + 1 >= argc || !argv[i + 1] || !argv[i + 1][0]) {
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

PresenterKind ChoosePresenter(const EntryOptions& options)
{
    if (options.headless || !DisplayAvailable()) return PresenterKind::Headless;
    return PresenterKind::Window;
}

int RunEntry(const EntryOptions& options, const std::function<int(HINSTANCE, LPWSTR)>& winMain)
{
    SetDeviceRoot(ChooseDeviceRoot(options));
    if (!options.script.empty()) {
        std::string error;
        if (!LoadInputScript(options.script, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
    }
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
    return result;
}

}  // namespace qplat
