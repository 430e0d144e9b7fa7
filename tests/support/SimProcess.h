// The sensor simulator as a child process of a test: started with its
// arguments (by default the simulator the build made, QAV5_SENSORSIM), its
// first output line (the terminal it serves) read with a time limit, and
// stopped with SIGTERM when the object goes.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace qtest {

// The simulator as a child process; its first output line is its terminal.
class SimProcess {
public:
    // With `errorFile` its standard error goes there.
    explicit SimProcess(std::vector<std::string> args, const char* program = QAV5_SENSORSIM,
                        const std::string& errorFile = std::string())
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        if (!errorFile.empty())
            posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program, &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        out_ = out[0];
        // The first line, with a hang guard.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        fcntl(out_, F_SETFL, O_NONBLOCK);
        while (std::chrono::steady_clock::now() < end) {
            char c;
            ssize_t r = read(out_, &c, 1);
            if (r == 1) {
                if (c == '\n')
                    break;
                path_ += c;
            } else if (r == 0) {
                break;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }
    ~SimProcess() { Stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    // SIGTERM, then the exit status (0 for a clean end).
    int Stop()
    {
        if (pid_ <= 0)
            return status_;
        kill(pid_, SIGCONT);  // a paused simulator ends too
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        close(out_);
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return status_;
    }
    // SIGKILL: the simulator gets no chance to take itself out of the
    // neighbourhood. With `reap` false it stays a zombie until Stop.
    void Kill(bool reap)
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGKILL);
        if (reap)
            Stop();
    }
    // The sensor falls silent (SIGSTOP) and comes back (SIGCONT): requests
    // meanwhile wait unanswered on its terminal.
    void Pause() const
    {
        if (pid_ > 0)
            kill(pid_, SIGSTOP);
    }
    void Resume() const
    {
        if (pid_ > 0)
            kill(pid_, SIGCONT);
    }
    const std::string& Path() const { return path_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = -1;
    std::string path_;
};

}  // namespace qtest
