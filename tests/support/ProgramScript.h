// The application run from a script, as the scripted runs of the tests do
// it: headless, on a device root, with an input script; and the snapshots it
// writes read back.
//
// A script waits for events, never for the clock: after an action whose
// effect comes later (the sensor linked, a measurement finished, a search
// ended, a screen that opens after a slow step) it awaits the pixel that
// shows the effect, `Await(x, y, colour)` or `AwaitGone(x, y, colour)`, read
// off a snapshot of that screen. The script's "await" goes on as soon as the
// pixel is right, so a quiet machine does not sit out a fixed time and a
// loaded one is not cut short; its time is only a hang guard (60 s unless
// given), after which the run ends with status 2 and a line on standard error
// naming the script line. Screens that open on the tap itself need nothing:
// each action runs when the program has handled all the one before caused.
//
// Choosing the pixel: one that the event itself changes, and that is not
// already in the awaited state before it. A button the tap turns off and the
// event turns on again, or one that only a result turns on, serves well; a
// button that a screen's status timer also switches does not. The measuring
// road's places, colours and events are below:
//
//     Script s;
//     s.Await(kLinkedFace, kFaceOn)            // the sensor linked
//         .Tap(kStartMeasure).Tap(kMeasure)
//         .Await(kSaveFace, kFaceOn)           // the run has a result
//         .Snap(path);
//
// `Wait(ms)` is left for the few places where nothing can be awaited: a tap
// that must change nothing, or a screen's own short timer that changes
// nothing visible (the record-data and series screens take taps only 100 ms
// after they open). A timer that is due comes before the script's next look,
// so a wait past such a timer holds on any load.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/gdi/Surface.h"

extern char** environ;

namespace qtest {

// A place on the screen.
struct Spot {
    int x, y;
};

// A button's face enabled and disabled, the colours most awaits look for.
constexpr COLORREF kFaceOn = RGB(0x26, 0x38, 0x4E);
constexpr COLORREF kFaceOff = RGB(0x96, 0x9C, 0xA2);

// The script line that awaits the pixel at (x, y) to have `colour`, or with
// `gone` to no longer have it; `guardMs` 0 leaves the program's hang guard.
inline std::string AwaitLine(int x, int y, COLORREF colour, bool gone = false, int guardMs = 0)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return "await " + std::to_string(x) + " " + std::to_string(y) + " " + (gone ? "!" : "") + hex +
           (guardMs > 0 ? " " + std::to_string(guardMs) : std::string()) + "\n";
}

// The actions every kind of script has, one a line; `Self` is the script.
template <class Self>
class ScriptActions {
public:
    // Goes on once the pixel has the colour (see the top of this file).
    Self& Await(int x, int y, COLORREF colour, int guardMs = 0) { return Add(AwaitLine(x, y, colour, false, guardMs)); }
    Self& Await(Spot s, COLORREF colour, int guardMs = 0) { return Await(s.x, s.y, colour, guardMs); }
    // Goes on once the pixel no longer has the colour.
    Self& AwaitGone(int x, int y, COLORREF colour, int guardMs = 0)
    {
        return Add(AwaitLine(x, y, colour, true, guardMs));
    }
    Self& AwaitGone(Spot s, COLORREF colour, int guardMs = 0) { return AwaitGone(s.x, s.y, colour, guardMs); }
    // Only where nothing can be awaited.
    Self& Wait(int ms) { return Add("wait " + std::to_string(ms) + "\n"); }
    Self& Snap(const std::string& path) { return Add("snapshot " + path + "\n"); }

protected:
    Self& Add(const std::string& lines)
    {
        text_ += lines;
        return static_cast<Self&>(*this);
    }
    std::string text_;
};

// A script of the program, one action a line.
class Script : public ScriptActions<Script> {
public:
    Script& Tap(int x, int y) { return Add("tap " + std::to_string(x) + " " + std::to_string(y) + "\n"); }
    Script& Tap(Spot s) { return Tap(s.x, s.y); }
    const std::string& Text() const { return text_; }
};

// The measuring road's places on the screens the scripts touch.
constexpr Spot kStartMeasure{88, 217};
constexpr Spot kMeasure{60, 95};       // the measuring screen's measure button
constexpr Spot kZero{60, 180};         // the gauges' zero button
constexpr Spot kSave{60, 246};
constexpr Spot kClose{453, 25};        // every screen's back button
constexpr Spot kDataMenu{389, 84};     // the start screen's data menu button
constexpr Spot kChartView{406, 68};
constexpr Spot kResultsView{451, 68};
constexpr Spot kNextStep{390, 210};    // type 3 steps
constexpr Spot kRecordOk{240, 243};
constexpr Spot kAxleNumberEdit{405, 115};
constexpr Spot kDigit7{132, 187};
constexpr Spot kKeyboardOkKey{443, 241};
constexpr Spot kMessageOk{240, 181};
constexpr Spot kSeriesMeasure{429, 107};

// What the scripts await (see the top of this file): a button's face
// enabled or disabled (kFaceOn, kFaceOff), at a place on the face that no
// caption or picture covers.
// The start screen's measure button is enabled once the sensor is linked.
constexpr Spot kLinkedFace{150, 230};
// The measuring screen's save button is enabled by a run with a result, and
// disabled again once the result is stored.
constexpr Spot kSaveFace{100, 235};
// The measuring screen's measure button.
constexpr Spot kMeasureFace{60, 60};
// A message box's title bar, which no screen has there.
constexpr Spot kMessageTitle{240, 64};
constexpr COLORREF kMessageTitleBlue = RGB(0x00, 0x30, 0x8C);

// The events the scripts await.
//
// The sensor linked: the start screen lets a measurement start.
inline Script& Linked(Script& s)
{
    return s.Await(kLinkedFace, kFaceOn);
}
// A run over with a result: the measuring screen's save button comes on.
inline Script& Measured(Script& s)
{
    return s.Await(kSaveFace, kFaceOn);
}
// The result stored: the save button goes off.
inline Script& Stored(Script& s)
{
    return s.Await(kSaveFace, kFaceOff);
}
// A run of a series over: the measuring screen opened for a new position
// measures at once, its measure button off until the run is over (its save
// button is on from the start).
inline Script& MeasuredInSeries(Script& s)
{
    return s.Await(kMeasureFace, kFaceOn);
}
// A run over without a result: the failure message is up.
inline Script& Failed(Script& s)
{
    return s.Await(kMessageTitle, kMessageTitleBlue);
}

// Writes `script` into `scriptPath` and runs the application the build made
// on the root with it; the program's exit status (-1 when it did not exit).
// With `errorsPath` its standard error goes to that file; `prefix` is a
// command that starts it (a hang guard for a run that may never get to its
// script: "timeout 120 ").
inline int RunProgramScript(const std::string& rootPath, const std::filesystem::path& scriptPath,
                            const std::string& script, const std::filesystem::path& errorsPath = {},
                            const std::string& prefix = "")
{
    std::ofstream(scriptPath) << script;
    const std::filesystem::path program = std::filesystem::path(QAV5_BINARY_DIR) / "shell" / "Qav5_PA";
    std::string command = prefix + "\"" + program.string() + "\" --headless --root \"" + rootPath + "\" --script \"" +
                          scriptPath.string() + "\"";
    if (!errorsPath.empty()) command += " 2>\"" + errorsPath.string() + "\"";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The application run on the root with a script file, headless (without one:
// neither), as a child process the test can signal while it runs
// (RunProgramScript waits for its end). A child still running is killed.
class ProgramProcess {
public:
    ProgramProcess(const std::string& rootPath, const std::filesystem::path& scriptPath)
    {
        const std::filesystem::path program = std::filesystem::path(QAV5_BINARY_DIR) / "shell" / "Qav5_PA";
        std::vector<std::string> args = {program.string(), "--root", rootPath};
        if (!scriptPath.empty()) args.insert(args.end(), {"--headless", "--script", scriptPath.string()});
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        started_ = posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv.data(), environ) == 0;
        if (!started_) pid_ = -1;
    }
    ~ProgramProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    bool Started() const { return started_; }
    bool Signal(int sig) const { return pid_ > 0 && ::kill(pid_, sig) == 0; }
    // Waits for the end: the exit status, -1 when the program did not exit
    // (a signal ended it, or it never started).
    int Wait()
    {
        if (pid_ > 0) {
            int raw = 0;
            if (::waitpid(pid_, &raw, 0) == pid_) status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            pid_ = -1;
        }
        return status_;
    }

private:
    pid_t pid_ = -1;
    bool started_ = false;
    int status_ = -1;
};

// The two screens show the same pixels within the rectangle.
inline bool SameIn(const qplat::Surface& a, const qplat::Surface& b, RECT r)
{
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (!a.Contains(x, y) || !b.Contains(x, y) || a.At(x, y) != b.At(x, y)) return false;
    return true;
}

// A PNG file as a surface (empty when it cannot be read).
inline qplat::Surface ReadPngFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    qplat::Surface s;
    qplat::DecodePng(bytes.data(), bytes.size(), s);
    return s;
}

// A snapshot of the whole screen that a script wrote, read back; a failure of
// the test when there is none.
inline qplat::Surface ReadSnapshot(const std::string& path)
{
    qplat::Surface s = ReadPngFile(path);
    EXPECT_EQ(s.width, 480) << path << ": no snapshot of the screen";
    return s;
}

// Waits until a run the test started aside (a program that goes on running)
// wrote the file, a snapshot that shows it came that far. A hang guard only:
// true as soon as the file is there, false after a minute without it.
inline bool AwaitFile(const std::filesystem::path& file)
{
    for (int i = 0; i < 6000 && !std::filesystem::exists(file); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return std::filesystem::exists(file);
}

}  // namespace qtest
