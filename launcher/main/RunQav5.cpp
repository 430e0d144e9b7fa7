// The entry of the launcher. It takes the device root alone: it has no screen
// and starts the application without arguments, so the application's screen
// options are refused rather than dropped.
#include <cstdio>

#include "launcher/Launcher.h"
#include "platform/entry/Entry.h"

int main(int argc, char** argv)
{
    qplat::EntryOptions options;
    std::string error;
    constexpr qplat::EntryOptionSet kSet = qplat::EntryOptionSet::RootOnly;
    const int parsed = qplat::ParseEntryOptions(argc, argv, options, error, kSet);
    if (parsed != 1) {
        if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
        std::fprintf(parsed == 0 ? stdout : stderr, "%s\n", qplat::EntryUsage(argc > 0 ? argv[0] : "", kSet).c_str());
        return parsed == 0 ? 0 : 2;
    }
    options.headless = true;
    return qplat::RunEntry(options, [](HINSTANCE, LPWSTR) { return LauncherMain(); });
}
