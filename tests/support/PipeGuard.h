// A guard for tests of a pipe in a file's place: the fault they catch is an
// open that waits for the pipe's other end, which would hang the suite. And
// the other things a card made elsewhere may hold in a file's place.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qtest {

// Runs `call` on a thread of its own and waits for it to return. When it has
// not returned within `guardMs` it is taken to be held by one of the `pipes`,
// whose other ends are then opened and closed again until the call comes
// free, so a regression fails the test instead of hanging it. True when the
// call returned by itself.
inline bool ReturnsWithoutThePipesOtherEnd(const std::vector<std::string>& pipes, const std::function<void()>& call,
                                           int guardMs = 30000)
{
    std::mutex lock;
    std::condition_variable returned;
    bool done = false;
    std::thread t([&] {
        call();
        std::lock_guard<std::mutex> g(lock);
        done = true;
        returned.notify_all();
    });
    std::unique_lock<std::mutex> g(lock);
    const bool byItself = returned.wait_for(g, std::chrono::milliseconds(guardMs), [&] { return done; });
    while (!done) {
        // Read and write end at once: this open never waits, and a reader or
        // a writer held in its own open comes free (and then reads nothing).
        for (const std::string& pipe : pipes) {
            const int fd = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) ::close(fd);
        }
        returned.wait_for(g, std::chrono::milliseconds(100), [&] { return done; });
    }
    g.unlock();
    t.join();
    return byItself;
}

// What may stand in a platform file's place instead of the file.
enum class Stranger { Pipe, Folder, LinkToNothing };
constexpr Stranger kStrangers[] = {Stranger::Pipe, Stranger::Folder, Stranger::LinkToNothing};

// Puts one at `path`, in place of whatever was there; false when it cannot.
inline bool PutInPlace(const std::string& path, Stranger s)
{
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    return s == Stranger::Pipe     ? ::mkfifo(path.c_str(), 0644) == 0
           : s == Stranger::Folder ? ::mkdir(path.c_str(), 0755) == 0
                                   : ::symlink((path + ".gone").c_str(), path.c_str()) == 0;
}

// The words of the line that names one passed by.
inline const char* SaidOf(Stranger s) { return s == Stranger::LinkToNothing ? "a link to nothing" : "not a regular file"; }

}  // namespace qtest
