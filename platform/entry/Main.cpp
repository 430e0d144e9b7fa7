// The process entry of the programs: reads the command line, chooses the
// device root and the presenter, runs the program's WinMain and closes the
// presenter after it.
//
//   PROGRAM [--root DIR] [--headless] [--script FILE]

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Presenter.h"
#include "platform/WinKernel.h"
#include "platform/WinUser.h"
#include "platform/entry/Entry.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

int main(int argc, char** argv)
{
    qplat::EntryOptions options;
    std::string error;
    int parsed = qplat::ParseEntryOptions(argc, argv, options, error);
    if (parsed != 1) {
        if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
        const std::string program = argc > 0 && argv[0] ? argv[0] : "";
        std::fprintf(parsed == 0 ? stdout : stderr, "%s\n",
                     (parsed == 0 ? qplat::EntryHelp(program) : qplat::EntryUsage(program)).c_str());
        return parsed == 0 ? 0 : 2;
    }
    return qplat::RunEntry(options, [](HINSTANCE instance, LPWSTR commandLine) {
        return WinMain(instance, nullptr, commandLine, SW_SHOW);
    });
}
