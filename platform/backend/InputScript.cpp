// Scripted input: a file of actions carried out one by one whenever the
// user-interface thread has nothing else to do, so each action meets the
// screen as the previous one left it. A script that runs out without "quit"
// ends the program all the same: a headless run must never wait for ever.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/HeldCall.h"
#include "platform/PowerSleep.h"
#include "platform/WinKernel.h"
#include "platform/WinUser.h"
#include "platform/backend/BackendInternal.h"

namespace {

// How long "await" lets the program take when the script names no time: only
// a hang guard, far beyond what any screen needs on a loaded machine.
constexpr long kAwaitGuardMs = 60000;

// How often an await looks at a screen that says nothing changed (a chart
// drawn through a context kept open does not tell).
constexpr DWORD kAwaitLookMs = 50;

enum class Op { Tap, Press, Release, Move, Wait, Await, Snapshot, Power, Close, Quit };

struct Action {
    Op op;
    int x = 0, y = 0;
    unsigned long ms = 0;
    std::string file;
    int line = 0;
    COLORREF colour = 0;  // await: the colour looked for
    bool absent = false;  // await: the colour is to go rather than to come
};

struct ScriptState {
    std::mutex lock;
    std::vector<Action> actions;
    size_t next = 0;
    bool ending = false;  // the program is still to be ended after the last action
    // An await looks at the screen again only when something may have
    // changed it, or after a while for drawing nobody announces.
    unsigned awaitVersion = 0;
    DWORD awaitLookedAt = 0;
    COLORREF awaitSeen = 0;
    bool waiting = false;
    DWORD waitStart = 0;
    int snapshots = 0;
    bool failed = false;  // an action could not be carried out: the run ends with status 2
};

ScriptState& St()
{
    static ScriptState* s = new ScriptState;
    return *s;
}

bool ParseInt(std::istringstream& in, long lo, long hi, long& out)
{
    std::string word;
    if (!(in >> word)) return false;
    char* end = nullptr;
    long v = std::strtol(word.c_str(), &end, 10);
    if (end == word.c_str() || *end != 0 || v < lo || v > hi) return false;
    out = v;
    return true;
}

// "X Y RRGGBB [MS]" or "X Y !RRGGBB [MS]": a point on the screen, a colour
// in hexadecimal red, green, blue, and the hang guard.
bool ParseAwait(std::istringstream& in, Action& a)
{
    long x, y;
    if (!ParseInt(in, 0, qplat::kScreenWidth - 1, x) || !ParseInt(in, 0, qplat::kScreenHeight - 1, y)) return false;
    std::string colour;
    if (!(in >> colour)) return false;
    a.absent = colour[0] == '!';
    if (a.absent) colour.erase(0, 1);
    if (colour.size() != 6 || colour.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    unsigned long rgb = std::strtoul(colour.c_str(), nullptr, 16);
    a.colour = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    long ms = kAwaitGuardMs;
    in >> std::ws;
    if (in.peek() != std::char_traits<char>::eof() && !ParseInt(in, 1, 86400000L, ms)) return false;
    a.x = static_cast<int>(x);
    a.y = static_cast<int>(y);
    a.ms = static_cast<unsigned long>(ms);
    return true;
}

bool Parse(const std::string& text, std::vector<Action>& out, std::string* error)
{
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& why) {
        if (error) *error = "script line " + std::to_string(number) + ": " + why;
        return false;
    };
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        std::istringstream in(line);
        std::string word;
        in >> word;
        Action a;
        a.line = number;
        long x, y;
        if (word == "tap" || word == "press" || word == "release" || word == "move") {
            if (!ParseInt(in, -10000, 10000, x) || !ParseInt(in, -10000, 10000, y))
                return fail("\"" + word + "\" needs two whole numbers x y");
            a.op = word == "tap" ? Op::Tap : word == "press" ? Op::Press : word == "release" ? Op::Release : Op::Move;
            // A point off the screen would touch nothing: the script is wrong.
            if (x < 0 || y < 0 || x >= qplat::kScreenWidth || y >= qplat::kScreenHeight)
                return fail("(" + std::to_string(x) + ", " + std::to_string(y) + ") lies outside the " +
                            std::to_string(qplat::kScreenWidth) + " x " + std::to_string(qplat::kScreenHeight) + " screen");
            a.x = static_cast<int>(x);
            a.y = static_cast<int>(y);
        } else if (word == "wait") {
            long ms;
            if (!ParseInt(in, 0, 86400000L, ms)) return fail("\"wait\" needs a time in milliseconds");
            a.op = Op::Wait;
            a.ms = static_cast<unsigned long>(ms);
        } else if (word == "await") {
            if (!ParseAwait(in, a))
                return fail("\"await\" needs x y on the screen, a colour RRGGBB or !RRGGBB and at most a time in ms");
            a.op = Op::Await;
        } else if (word == "snapshot") {
            std::getline(in, a.file);
            size_t s = a.file.find_first_not_of(" \t");
            a.file = s == std::string::npos ? std::string() : a.file.substr(s);
            while (!a.file.empty() && (a.file.back() == ' ' || a.file.back() == '\t')) a.file.pop_back();
            if (a.file.empty()) return fail("\"snapshot\" needs a file name");
            a.op = Op::Snapshot;
        } else if (word == "power") {
            // "power key" as well: both spellings are in use.
            std::string key;
            if ((in >> key) && key != "key") return fail("unexpected \"" + key + "\" after \"power\"");
            a.op = Op::Power;
        } else if (word == "close") {
            a.op = Op::Close;
        } else if (word == "quit") {
            a.op = Op::Quit;
        } else {
            return fail("unknown action \"" + word + "\"");
        }
        std::string rest;
        if (a.op != Op::Snapshot && (in >> rest)) return fail("unexpected \"" + rest + "\" after \"" + word + "\"");
        out.push_back(std::move(a));
    }
    return true;
}

std::string Hex(COLORREF c)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

// The await in front, asked again; the script's lock is held. Returns how
// long the program may sleep before the next look (a message that arrives
// wakes it earlier, and every handled message brings the next look).
unsigned long AwaitStepLocked(ScriptState& s, const Action& a)
{
    DWORD now = GetTickCount();
    unsigned version = qplat::backend::ScreenVersion();
    bool first = !s.waiting;
    if (first) {
        s.waiting = true;
        s.waitStart = now;
    }
    if (first || version != s.awaitVersion || now - s.awaitLookedAt >= kAwaitLookMs) {
        s.awaitVersion = version;
        s.awaitLookedAt = now;
        s.awaitSeen = qplat::ScreenPixel(a.x, a.y);
        if ((s.awaitSeen == a.colour) != a.absent) {
            s.waiting = false;
            s.next++;
            return 0;
        }
    }
    DWORD elapsed = now - s.waitStart;
    if (elapsed >= a.ms) {
        // The event never came: what follows would act on the wrong screen.
        std::fprintf(stderr,
                     "script line %d: the pixel at (%d, %d) is %s after %lu ms, awaited %s%s: ending the program\n",
                     a.line, a.x, a.y, Hex(s.awaitSeen).c_str(), a.ms, a.absent ? "anything but " : "",
                     Hex(a.colour).c_str());
        s.waiting = false;
        s.failed = true;
        s.next = s.actions.size();
        s.ending = false;
        qplat::WakeDevice();
        PostQuitMessage(2);
        return 100;
    }
    DWORD left = static_cast<DWORD>(a.ms) - elapsed;
    return left < 10 ? left : 10;
}

}  // namespace

namespace qplat {

bool SetInputScript(const std::string& text, std::string* error)
{
    std::vector<Action> actions;
    if (!Parse(text, actions, error)) return false;
    auto& s = St();
    std::lock_guard<std::mutex> g(s.lock);
    s.actions = std::move(actions);
    s.next = 0;
    s.ending = true;
    s.waiting = false;
    s.failed = false;
    return true;
}

void ClearInputScript()
{
    auto& s = St();
    std::lock_guard<std::mutex> g(s.lock);
    s.actions.clear();
    s.next = 0;
    s.ending = false;
    s.waiting = false;
    s.failed = false;
}

bool LoadInputScript(const std::string& hostPath, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error) *error = "cannot read the script " + hostPath + ": " + why;
        return false;
    };
    struct stat st {};
    if (::stat(hostPath.c_str(), &st) != 0) return fail(std::strerror(errno));
    if (S_ISDIR(st.st_mode)) return fail("it is a folder");
    FILE* f = std::fopen(hostPath.c_str(), "rb");
    if (!f) return fail(std::strerror(errno));
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    bool failed = std::ferror(f) != 0;
    int readErrno = errno;
    std::fclose(f);
    if (failed) return fail(std::strerror(readErrno));
    return SetInputScript(text, error);
}

bool InputScriptFinished()
{
    auto& s = St();
    std::lock_guard<std::mutex> g(s.lock);
    return s.next >= s.actions.size() && !s.ending;
}

bool InputScriptFailed()
{
    auto& s = St();
    std::lock_guard<std::mutex> g(s.lock);
    return s.failed;
}

int ScriptSnapshotsWritten()
{
    auto& s = St();
    std::lock_guard<std::mutex> g(s.lock);
    return s.snapshots;
}

unsigned long RunInputScriptStep()
{
    auto& s = St();
    Action a;
    {
        std::lock_guard<std::mutex> g(s.lock);
        if (s.next >= s.actions.size()) {
            if (!s.ending) return 100;
            // A call that holds the program (the sensor search) goes on to
            // its end: the run ends once what it brings has been handled, as
            // after any other last action. Ended here, it would cut the call.
            if (InsideHeldCall()) return 100;
            // Called when the last action's messages have been handled.
            s.ending = false;
            std::fprintf(stderr, "the script ended without \"quit\": ending the program\n");
            WakeDevice();
            PostQuitMessage(0);
            return 100;
        }
        a = s.actions[s.next];
        if (a.op == Op::Wait) {
            DWORD now = GetTickCount();
            if (!s.waiting) {
                s.waiting = true;
                s.waitStart = now;
            }
            DWORD elapsed = now - s.waitStart;
            if (elapsed < a.ms) {
                DWORD left = static_cast<DWORD>(a.ms) - elapsed;
                return left < 10 ? left : 10;
            }
            s.waiting = false;
            s.next++;
            return 0;
        }
        if (a.op == Op::Await) return AwaitStepLocked(s, a);
        s.next++;
        if (a.op == Op::Quit) s.ending = false;
    }
    switch (a.op) {
    case Op::Await: break;
    case Op::Tap: StylusTap(a.x, a.y); break;
    case Op::Press: StylusDown(a.x, a.y); break;
    case Op::Release: StylusUp(a.x, a.y); break;
    case Op::Move: StylusMove(a.x, a.y); break;
    case Op::Snapshot:
        if (SaveScreenPng(a.file)) {
            std::lock_guard<std::mutex> g(s.lock);
            s.snapshots++;
        } else {
            // What follows would be checked against a picture that is not
            // there: the run ends here.
            std::fprintf(stderr, "script line %d: cannot write the snapshot %s: ending the program\n", a.line,
                         a.file.c_str());
            {
                std::lock_guard<std::mutex> g(s.lock);
                s.failed = true;
                s.next = s.actions.size();
                s.ending = false;
            }
            WakeDevice();
            PostQuitMessage(2);
        }
        break;
    case Op::Power: PowerKey(WM_POWERKEY); break;
    case Op::Close: RequestClose(); break;
    case Op::Quit:
        // A sleeping program handles no messages: it is woken to end.
        WakeDevice();
        PostQuitMessage(0);
        break;
    case Op::Wait: break;
    }
    return 0;
}

}  // namespace qplat
