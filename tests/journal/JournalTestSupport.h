// Helpers of the journal screen tests: journals of both record families laid
// out on the card as the measuring screens store them (wheel profiles from
// the S1002 formula, disc sides from the disc generator), tolerance sets and
// reference profiles, and probes of the composed screen.
#pragma once

#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "measurement/ReferStore.h"
#include "settings/JournalRecords.h"
#include "tests/dialogs/SettingsScreenTestSupport.h"
#include "tools/profilegen/ProfileGen.h"

namespace qtest {

inline const std::u16string kJournalFolder = kProgramFolder + u"DB\\";

// The texts that tell one record from another in the list.
struct RecordKeys {
    std::u16string date, car, number, axle, side, wheel;
};

// Wheel profile points as the head's resampling leaves them: a 50 um step
// from x = firstX (step code 500 is 50.0 um).
constexpr LONG kWheelStepCode = 500;
constexpr LONG kWheelFirstX = 1000;

inline std::vector<ProfilePoint> WheelPoints(double thinningUm = 0.0)
{
    profilegen::WheelShape shape;
    shape.flangeThinningUm = thinningUm;
    const auto profile = profilegen::S1002Profile(50.0, shape);
    std::vector<ProfilePoint> points;
    for (size_t i = 0; i < profile.size() && points.size() < kMaxProfilePoints; ++i)
        points.push_back({kWheelFirstX + static_cast<LONG>(50 * i), static_cast<LONG>(std::lround(profile[i].z))});
    return points;
}

template <class Record>
void SetKeys(Record& r, const RecordKeys& k)
{
    qplat::CopyField(r.date, 10, k.date.c_str());
    qplat::CopyField(r.time, 10, u"10:20:30");
    qplat::CopyField(r.carName, 20, k.car.c_str());
    qplat::CopyField(r.carNumber, 20, k.number.c_str());
    qplat::CopyField(r.axleName, 10, k.axle.c_str());
    qplat::CopyField(r.side, 2, k.side.c_str());
    qplat::CopyField(r.wheelName, 13, k.wheel.c_str());
}

// A wheel record with a measured profile (type 1), or with a gauge reading
// only (no profile: first x 0).
inline QavJournalRecord WheelRecord(const RecordKeys& keys, double thinningUm = 0.0, bool profile = true)
{
    QavJournalRecord r;
    std::memset(&r, 0, sizeof r);
    SetKeys(r, keys);
    if (profile) {
        const auto points = WheelPoints(thinningUm);
        StoreQavProfile(&r, points.data(), static_cast<DWORD>(points.size()), kWheelStepCode);
    } else {
        SetQavRecordValue(&r, 7, 957000);
    }
    SetQavRecordValue(&r, 22, 1234);
    SetQavRecordValue(&r, 23, 2345);
    return r;
}

// Disc sides every 50 um (step code 500), as the wheel profiles.
inline std::vector<ProfilePoint> DiscPoints(int side, double grooveUm = 0.0)
{
    profilegen::DiscShape shape;
    shape.grooveDepthUm[0] = shape.grooveDepthUm[1] = grooveUm;
    const auto profile = profilegen::DiscSideProfile(shape, side);
    std::vector<ProfilePoint> points;
    for (size_t i = 0; i < profile.size() && points.size() < kMaxProfilePoints; i += 5)
        points.push_back({static_cast<LONG>(std::lround(profile[i].x)), static_cast<LONG>(std::lround(profile[i].z))});
    return points;
}

inline QodJournalRecord DiscRecord(const RecordKeys& keys, const std::u16string& refer = u"", double grooveUm = 0.0)
{
    QodJournalRecord r;
    std::memset(&r, 0, sizeof r);
    SetKeys(r, keys);
    qplat::CopyField(r.referName, 50, refer.c_str());
    for (int side = 0; side < 2; ++side) {
        const auto points = DiscPoints(side + 1, grooveUm);
        StoreQodProfile(&r, side, points.data(), static_cast<DWORD>(points.size()), kWheelStepCode);
    }
    SetQodRecordValue(&r, 6, 108000);
    return r;
}

// A disc face in a frame where the whole face lies below zero: hub and rim at
// z = -4000, the friction ring 4000 deeper, a groove of `grooveUm` worn into
// the ring's middle; a point every 50 um, as step code 500 stores them.
inline std::vector<ProfilePoint> FaceBelowTheAxis(double grooveUm)
{
    std::vector<ProfilePoint> points;
    for (LONG x = 5000; x <= 140000; x += 50) {
        double depth = x >= 25000 && x <= 125000 ? 4000.0 : 0.0;
        if (x >= 71000 && x <= 79000) depth -= grooveUm;
        points.push_back({x, static_cast<LONG>(-4000 - depth)});
    }
    return points;
}

// A journal screen test's card: the real language files, the journal folder,
// settings of the family naming the journal.
class JournalScreenTest : public SettingsScreenTest {
protected:
    void SetUp() override
    {
        SettingsScreenTest::SetUp();
        root.MakeFolder(kJournalFolder);
        root.MakeFolder(kProgramFolder + u"Refer\\");
        root.MakeFolder(kProgramFolder + u"Refer_QOD\\");
    }
    void TearDown() override
    {
        qplat::FailFileSyncsAfter(-1);
        SettingsScreenTest::TearDown();
    }
    // Wheel settings (device type 1) naming journal, reference and tolerance set.
    ParamBlock WheelParams(const std::u16string& journal, const std::u16string& refer = u"",
                           const std::u16string& tolerance = u"", BYTE unit = 1)
    {
        ParamBlock p = Params(1, unit);
        CopyName(p.qavJournalName, journal.c_str());
        CopyName(p.qavReferName, refer.c_str());
        CopyName(p.qavToleranceName, tolerance.c_str());
        return p;
    }
    ParamBlock DiscParams(const std::u16string& journal, const std::u16string& refer = u"")
    {
        ParamBlock p = Params(4, 1);
        CopyName(p.qodJournalName, journal.c_str());
        CopyName(p.qodReferName, refer.c_str());
        return p;
    }
    std::u16string JournalPath(const std::u16string& name, bool disc = false)
    {
        return kJournalFolder + name + (disc ? u".qod" : u".qav");
    }
    template <class Record>
    void WriteJournal(const std::u16string& name, const std::vector<Record>& records)
    {
        root.WriteFile(JournalPath(name, sizeof(Record) == QOD_RECORD_SIZE), Bytes(records));
    }
    template <class Record>
    std::vector<Record> ReadJournal(const std::u16string& name)
    {
        return Records<Record>(root.ReadFile(JournalPath(name, sizeof(Record) == QOD_RECORD_SIZE)));
    }
    // A reference profile file written the program's own way.
    void WriteReference(const std::u16string& name, const std::vector<ProfilePoint>& points, int deviceType = 1)
    {
        CReferStore store;
        ASSERT_EQ(store.Write(name.c_str(), points.data(), static_cast<DWORD>(points.size()), deviceType), 1);
    }
};

// The names of those of the named controls that pass `state` (enabled unless
// told), in their order: a check of them names each control that differs.
inline std::vector<std::string> ControlsThat(HWND dialog, std::initializer_list<std::pair<int, const char*>> named,
                                             BOOL (*state)(HWND) = IsWindowEnabled)
{
    std::vector<std::string> passing;
    for (const auto& [id, name] : named)
        if (GetDlgItem(dialog, id) && state(GetDlgItem(dialog, id))) passing.push_back(name);
    return passing;
}

// The step, then the screen it looked at closed.
inline Step AndClose(Step step)
{
    return [step](HWND dialog) {
        step(dialog);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    };
}

// A fixture that runs one screen object, made once the card is known (the
// file objects a screen holds take their folder when built).
template <class Screen>
class ScreenObjectTest : public JournalScreenTest {
protected:
    void SetUp() override
    {
        JournalScreenTest::SetUp();
        screen = std::make_unique<Screen>();
    }
    void TearDown() override
    {
        screen.reset();
        JournalScreenTest::TearDown();
    }
    BOOL Run(std::vector<Step> steps)
    {
        Steps(std::move(steps));
        return screen->DoModal(nullptr, owner);
    }

    std::unique_ptr<Screen> screen;
};

// The dialog's client origin on the screen, for pixel probes.
inline POINT ClientOrigin(HWND dialog)
{
    POINT p{0, 0};
    ClientToScreen(dialog, &p);
    return p;
}
inline COLORREF Pixel(HWND dialog, int x, int y)
{
    const POINT o = ClientOrigin(dialog);
    return qplat::ScreenPixel(o.x + x, o.y + y);
}
// Two colours within 48 of each other in every channel: text is drawn with
// smoothed edges, so its own colour shows only nearly in its pixels.
inline bool Near(COLORREF a, COLORREF b)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d > 48 || d < -48) return false;
    }
    return true;
}
// Whether any pixel of the client rectangle has (nearly) the colour.
inline bool AnyPixel(HWND dialog, RECT r, COLORREF colour)
{
    const POINT o = ClientOrigin(dialog);
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (Near(qplat::ScreenPixel(o.x + x, o.y + y), colour)) return true;
    return false;
}
// Whether any pixel of the client rectangle is of the hue: the channel of
// `channel` (0 red, 1 green, 2 blue) well above the two others, as small
// smoothed text in that colour shows.
inline bool AnyHue(HWND dialog, RECT r, int channel)
{
    const POINT o = ClientOrigin(dialog);
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const COLORREF c = qplat::ScreenPixel(o.x + x, o.y + y);
            const int v[3] = {static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                              static_cast<int>((c >> 16) & 0xFF)};
            if (v[channel] > v[(channel + 1) % 3] + 60 && v[channel] > v[(channel + 2) % 3] + 60) return true;
        }
    return false;
}
// Where test snapshots go (looked at by hand).
inline std::string SnapshotPath(const std::string& name)
{
    return std::string(QAV5_BINARY_DIR) + "/tests/journal-" + name + ".png";
}

}  // namespace qtest
