// The entry of the launcher. It takes the programs' command line (its device
// root above all) but has no screen: it always runs without a window.
#include <cstdio>

#include "launcher/Launcher.h"
#include "platform/entry/Entry.h"

int main(int argc, char** argv)
{
    qplat::EntryOptions options;
    std::string error;
    const int parsed = qplat::ParseEntryOptions(argc, argv, options, error);
    if (parsed != 1) {
        if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
        std::fprintf(parsed == 0 ? stdout : stderr, "%s\n", qplat::EntryUsage(argc > 0 ? argv[0] : "").c_str());
        return parsed == 0 ? 0 : 2;
    }
    options.headless = true;
    return qplat::RunEntry(options, [](HINSTANCE, LPWSTR) { return LauncherMain(); });
}
