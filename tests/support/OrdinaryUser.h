// A check run as a user that permission bits bind. The superuser (as which
// CI runs the suite) may open any file, so a test of an unreadable file runs
// its check in a forked child that became the user "nobody" first.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace qtest {

enum class OrdinaryUserRun { Passed, Failed, NoOtherUser };

// Passed or Failed as `check` answers (Failed also for a child that died);
// NoOtherUser when the child could not give up its privileges. Not the
// superuser: `check` runs in this process. The files the check reads must be
// open to others (a throw-away root is made with the host's umask).
inline OrdinaryUserRun AsOrdinaryUser(const std::function<bool()>& check)
{
    if (::geteuid() != 0)
        return check() ? OrdinaryUserRun::Passed : OrdinaryUserRun::Failed;
    constexpr int kNoOtherUser = 3;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0 || ::geteuid() == 0)
            ::_exit(kNoOtherUser);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return OrdinaryUserRun::Failed;
    if (WEXITSTATUS(status) == kNoOtherUser)
        return OrdinaryUserRun::NoOtherUser;
    return WEXITSTATUS(status) == 0 ? OrdinaryUserRun::Passed : OrdinaryUserRun::Failed;
}

}  // namespace qtest
