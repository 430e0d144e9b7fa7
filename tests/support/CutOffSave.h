// A pair save of a journal cut off half-way, as a kill or a power cut leaves
// it: the save runs in a child process that the platform's test hook kills
// half-way through its nth change of the card.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/WinKernel.h"

namespace qtest {

inline std::string HostFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs `save` killed at its first, second, ... change until a kill leaves
// the journal's roll-back file ("<journal>.undo") and a journal the save had
// begun to change; each try before starts from the journal as it was. False
// when no kill did (the save went through, or never got that far).
template <class Save>
bool CutOffSave(const std::filesystem::path& journal, Save save)
{
    const std::filesystem::path rollBack = journal.string() + ".undo";
    const std::string before = HostFileBytes(journal);
    for (long long n = 1; n < 40; ++n) {
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            qplat::KillAtStorageChange(n, true);
            save();
            _exit(0);
        }
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFSIGNALED(status)) return false;
        if (std::filesystem::exists(rollBack) && HostFileBytes(journal) != before) return true;
        std::ofstream(journal, std::ios::binary | std::ios::trunc) << before;
        std::error_code ec;
        std::filesystem::remove(rollBack, ec);
    }
    return false;
}

}  // namespace qtest
