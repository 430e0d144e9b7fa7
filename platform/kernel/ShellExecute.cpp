// Starting a program file detached, and the single-instance claim.
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinShell.h"
#include "platform/WinText.h"
#include "platform/kernel/KernelInternal.h"

extern char** environ;

namespace {

std::vector<std::string> SplitParameters(LPCWSTR parameters)
{
    std::vector<std::string> words;
    if (!parameters) return words;
    std::istringstream in(qplat::ToUtf8(parameters));
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

// The caller's environment with QAV5_ROOT naming the caller's device root, so
// the started program works on the same root as its starter.
std::vector<std::string> ChildEnvironment()
{
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e)
        if (std::string(*e).rfind("QAV5_ROOT=", 0) != 0) env.emplace_back(*e);
    env.push_back("QAV5_ROOT=" + qplat::DeviceRoot());
    return env;
}

}  // namespace

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info)
{
    if (!info || !info->lpFile || !*info->lpFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string host = qplat::HostPath(info->lpFile);
    struct stat st;
    if (host.empty() || ::stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if ((st.st_mode & S_IXUSR) == 0 && ::chmod(host.c_str(), st.st_mode | S_IXUSR | S_IXGRP | S_IXOTH) != 0) {
        SetLastError(qplat::ErrorFromErrno(errno));
        return FALSE;
    }
    std::vector<std::string> args{host};
    for (std::string& w : SplitParameters(info->lpParameters)) args.push_back(std::move(w));
    std::vector<std::string> env = ChildEnvironment();
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    // The program runs in a session of its own, so it outlives its starter
    // and is never one of its children to be waited for: an intermediate
    // process starts it and ends at once.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        SetLastError(qplat::ErrorFromErrno(errno));
        return FALSE;
    }
    const pid_t middle = ::fork();
    if (middle < 0) {
        ::close(report[0]);
        ::close(report[1]);
        SetLastError(qplat::ErrorFromErrno(errno));
        return FALSE;
    }
    if (middle == 0) {
        ::setsid();
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        pid_t child = 0;
        int error = ::posix_spawn(&child, host.c_str(), nullptr, &attr, argv.data(), envp.data());
        posix_spawnattr_destroy(&attr);
        ssize_t written = ::write(report[1], &error, sizeof error);
        (void)written;
        ::_exit(0);
    }
    ::close(report[1]);
    int error = -1;
    ssize_t got = ::read(report[0], &error, sizeof error);
    ::close(report[0]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    if (got != static_cast<ssize_t>(sizeof error) || error != 0) {
        SetLastError(got == static_cast<ssize_t>(sizeof error) ? qplat::ErrorFromErrno(error) : ERROR_GEN_FAILURE);
        return FALSE;
    }
    // There is no handle to the process that would be worth keeping: the
    // caller never waits for it.
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS) info->hProcess = nullptr;
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(33));
    return TRUE;
}

namespace qplat {

InstanceClaim ClaimProgramInstance(LPCWSTR name, std::string* why)
{
    static std::mutex lock;
    static std::vector<std::string> held;
    const std::string folder = PlatformFolder();
    const std::string file = folder + "/instance-" + ToUtf8(name ? name : u"") + ".lock";
    std::lock_guard<std::mutex> guard(lock);
    for (const std::string& h : held)
        if (h == file) return InstanceClaim::Claimed;
    auto cannot = [&](int error) {
        if (why) *why = "the platform folder " + folder + " cannot hold the single-copy lock: " + std::strerror(error);
        return InstanceClaim::CannotClaim;
    };
    // Kept open for the life of the process: the lock goes with the process.
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return cannot(errno);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        // Only a lock that is taken means another copy; a file system that
        // cannot lock tells nothing about one.
        return error == EWOULDBLOCK ? InstanceClaim::HeldByAnother : cannot(error);
    }
    held.push_back(file);
    return InstanceClaim::Claimed;
}

}  // namespace qplat
