// The entry of the launcher. It takes the device root alone: it has no screen
// and starts the application without arguments, so the application's screen
// options are refused rather than dropped.
#include <cstdio>
#include <string>

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
    // A root that is not there holds no "qav5.prg": nothing is made for a
    // program that cannot be installed.
    if (const std::string missing = qplat::MissingDeviceRoot(options); !missing.empty()) {
        std::fprintf(stderr, "RunQav5: no program file to install: no qav5.prg in %s, a device root that does not exist"
                             " (nothing is made)\n",
                     missing.c_str());
        return LAUNCHER_NO_SOURCE;
    }
    options.headless = true;
    return qplat::RunEntry(options, [](HINSTANCE, LPWSTR) { return LauncherMain(); });
}
