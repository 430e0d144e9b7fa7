// The demo as a new user meets it: a card laid out by democard alone, the
// simulated head paired on it, and the program run from a script of taps.
// The first measurement is graded against the card's demo tolerance set and
// stored in its current journal; a wheel with a worn-thin flange is flagged.
// A stored profile is saved as a reference from the journal browser, chosen
// on the reference list, and the next measurement is compared with it.
// The README's example sessions run word for word on such a card.

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "measurement/ReferStore.h"
#include "screens/ResultView.h"
#include "settings/CatalogFiles.h"
#include "settings/ParamFile.h"
#include "tests/shell/MeasureRoadSupport.h"
#include "tools/profilegen/ProfileGen.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace qtest;

// The journal browser (start screen), its first record and its
// save-as-reference button; the reference list (data menu), its first row
// and its button that makes the selected profile the current one.
constexpr Spot kJournalBrowser{88, 151};
constexpr Spot kFirstRecord{100, 115};
constexpr Spot kSaveAsReference{458, 252};
constexpr Spot kReferences{130, 161};
constexpr Spot kFirstReference{100, 127};
constexpr Spot kMakeCurrent{243, 244};
// The measuring screen's chart view: the button that switches to the
// deviation view, shown only when the run was compared with a reference.
constexpr Spot kDeviationView{270, 71};
constexpr RECT kDeviationViewFace{254, 54, 286, 88};
// The reference list's box of the current reference's name.
constexpr RECT kCurrentReference{174, 63, 344, 83};

// What tools/run-demo gives democard and the simulator, read from it so the
// tests lay out the card it lays out.
struct RunDemoSensor {
    std::string address, name, pin;
};
const RunDemoSensor& RunDemo()
{
    static const RunDemoSensor sensor = [] {
        std::istringstream in(ReadSourceFile("tools/run-demo"));
        RunDemoSensor s;
        for (std::string line; std::getline(in, line);) {
            const size_t eq = line.find('=');
            if (eq == std::string::npos) continue;
            std::string value = line.substr(eq + 1);
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            const std::string key = line.substr(0, eq);
            if (key == "address") s.address = value;
            if (key == "name") s.name = value;
            if (key == "pin") s.pin = value;
        }
        return s;
    }();
    return sensor;
}

// A command of the README's example sessions and what it prints.
struct ReadmeStep {
    std::string command;
    std::vector<std::string> output;
};
// The sessions ("    $ " lines) of the README's section on headless runs.
std::vector<ReadmeStep> ReadmeSessions()
{
    std::istringstream in(ReadSourceFile("README.md"));
    std::vector<ReadmeStep> steps;
    bool section = false, session = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("## ", 0) == 0) section = line == "## Screen, headless runs and scripts";
        if (!section || line.rfind("    ", 0) != 0) {
            session = false;
            continue;
        }
        line.erase(0, 4);
        if (line.rfind("$ ", 0) == 0) {
            steps.push_back({line.substr(2), {}});
            session = true;
        } else if (session) {
            steps.back().output.push_back(line);
        }
    }
    return steps;
}

// `text` with every `from` replaced by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

class DemoCardRun : public qtest::MeasureRoad {
protected:
    void SetUp() override
    {
        // The card is democard's alone: nothing of the fixture's own lay-out.
        fs::remove_all(root.Path());
        fs::create_directories(root.Path());
        dir = root.Beside("-demo");
    }

    static int RunDemoCard(const std::string& rootPath)
    {
        const std::string data = std::string(QAV5_SOURCE_DIR) + "/data";
        std::vector<std::string> args = {QAV5_DEMOCARD,      "--root",        rootPath,       "--data", data,
                                         "--sensor",         RunDemo().address, RunDemo().name, RunDemo().pin};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawn(&pid, QAV5_DEMOCARD, nullptr, nullptr, argv.data(), environ) != 0) return -1;
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void StartHead(const std::vector<std::string>& extra = {}, const char* kind = "wheel",
                   const std::string& name = RunDemo().name)
    {
        std::vector<std::string> args = {"--root", root.Path(), "--kind", kind, "--address", RunDemo().address,
                                         "--name", name,        "--pin",  RunDemo().pin};
        args.insert(args.end(), extra.begin(), extra.end());
        sim = std::make_unique<SimProcess>(args);
        ASSERT_EQ(0u, sim->Path().find("/dev/")) << "the simulator did not start";
    }

    // From the start screen, once the head is linked: measure, save with the
    // record data as offered once the run has a result, back to the start
    // screen.
    int MeasureAndSave(const std::string& prefix)
    {
        Script s;
        Measured(Linked(s).Tap(kStartMeasure).Tap(kMeasure)).Snap(Snap(prefix + "-results"));
        Stored(s.Tap(kSave).Tap(kRecordOk)).Snap(Snap(prefix + "-saved")).Tap(kClose);
        return Run(s);
    }

    std::vector<QavJournalRecord> DemoJournal() const { return Journal<QavJournalRecord>(u"qav", u"Demo"); }
    std::vector<QodJournalRecord> DemoDiscJournal() const { return Journal<QodJournalRecord>(u"qod", u"Demo"); }

    // Changes the settings democard left (its names stay).
    void ChangeSettings(const std::function<void(ParamBlock&)>& change)
    {
        root.Reload();
        ParamBlock b = StoredParams();
        change(b);
        ASSERT_EQ(1, CParamFile().Save(&b));
    }
    // The points of a wheel whose flange is worn thinner, as the
    // simulator's --profile takes them.
    fs::path WornProfile(double flangeThinningUm) const
    {
        profilegen::WheelShape worn;
        worn.flangeThinningUm = flangeThinningUm;
        const fs::path points = dir / "worn.txt";
        std::ofstream out(points);
        for (const profilegen::Point& p : profilegen::S1002Profile(100.0, worn))
            out << static_cast<long>(p.x) << ";" << static_cast<long>(p.z) << "\n";
        return points;
    }

    // The browser's first record saved as a reference under the keyboard's
    // initial name; with `snapshot` the screen once it is done.
    static Script& SaveFirstRecordAsReference(Script& s, const std::string& snapshot)
    {
        s.Tap(kJournalBrowser).Tap(kFirstRecord).Tap(kSaveAsReference).Tap(kKeyboardOkKey);
        return s.Snap(snapshot).Tap(kClose);
    }

    static bool OutFill(COLORREF c) { return c == RESULT_OUT_FILL; }
    static bool MessageTitle(COLORREF c) { return c == kMessageTitleBlue; }
    static bool WarningFill(COLORREF c) { return c == RESULT_WARNING_FILL; }
};

TEST_F(DemoCardRun, TheFirstMeasurementIsGradedAndStoredAndAWornFlangeIsFlagged)
{
    ASSERT_EQ(0, RunDemoCard(root.Path()));

    // The standard wheel: in tolerance, stored in the demo journal.
    StartHead();
    ASSERT_EQ(0, MeasureAndSave("standard"));
    std::vector<QavJournalRecord> journal = DemoJournal();
    ASSERT_EQ(1u, journal.size()) << "the first measurement is stored in the current journal";
    EXPECT_NEAR(GetQavRecordValue(journal[0], 0), 28000, 1500);
    EXPECT_EQ(Field(journal[0].sensorName1), u"LX412 12345");
    const qplat::Surface standard = Png("standard-results");
    EXPECT_EQ(0, Count(standard, kResultValues, OutFill)) << "the standard wheel is in tolerance";
    EXPECT_EQ(0, Count(standard, kResultValues, WarningFill));

    // A flange worn 12 mm thinner: below the demo set's flange thickness.
    sim.reset();
    StartHead({"--profile", WornProfile(12000).string()});
    ASSERT_EQ(0, MeasureAndSave("worn"));
    EXPECT_GT(Count(Png("worn-results"), kResultValues, OutFill), 50) << "flagged out of tolerance";
    // Saved under the same record data as offered: it replaces the record of
    // that wheel.
    journal = DemoJournal();
    ASSERT_EQ(1u, journal.size());
    EXPECT_LT(GetQavRecordValue(journal[0], 1), 22000) << "the thin flange was stored";
}

TEST_F(DemoCardRun, TheStandardDiscIsInToleranceAndAThinDiscIsFlagged)
{
    ASSERT_EQ(0, RunDemoCard(root.Path()));
    ChangeSettings([](ParamBlock& b) {
        b.deviceType = 4;
        PairSensor(b, 4, qplat::FromUtf8(RunDemo().address).c_str(), u"LX413 12345",
                   qplat::FromUtf8(RunDemo().pin).c_str());
    });
    StartHead({}, "disc2", "LX413 12345");
    ASSERT_EQ(0, MeasureAndSave("disc"));
    std::vector<QodJournalRecord> journal = DemoDiscJournal();
    ASSERT_EQ(1u, journal.size()) << "stored in the disc device's current journal";
    EXPECT_NEAR(GetQodRecordValue(journal[0], 6), 108000, 1500) << "the simulator's unworn disc";
    const qplat::Surface standard = Png("disc-results");
    EXPECT_EQ(0, Count(standard, kResultValues, OutFill)) << "the standard disc is in tolerance";
    EXPECT_EQ(0, Count(standard, kResultValues, WarningFill));

    // Worn down to 95 mm: below the demo set's least thickness.
    sim.reset();
    StartHead({"--thickness", "95000"}, "disc2", "LX413 12345");
    ASSERT_EQ(0, MeasureAndSave("thin"));
    EXPECT_GT(Count(Png("thin-results"), kResultValues, OutFill), 50) << "flagged out of tolerance";
    journal = DemoDiscJournal();
    ASSERT_FALSE(journal.empty());
    EXPECT_NEAR(GetQodRecordValue(journal.back(), 6), 95000, 1500) << "the thin disc was stored";
}

// The stored profile of the first measurement saved as a reference by taps in
// the journal browser: the card democard lays out takes it (the program makes
// no reference folder itself), no failure is shown, and the file holds the
// stored profile point by point.
TEST_F(DemoCardRun, AStoredProfileIsSavedAsAReferenceFromTheJournalBrowser)
{
    ASSERT_EQ(0, RunDemoCard(root.Path()));
    StartHead();
    ASSERT_EQ(0, MeasureAndSave("standard"));
    const std::vector<QavJournalRecord> journal = DemoJournal();
    ASSERT_EQ(1u, journal.size());

    Script s;
    ASSERT_EQ(0, Run(SaveFirstRecordAsReference(s, Snap("reference-saved"))));
    EXPECT_EQ(0, Count(Png("reference-saved"), RECT{100, 56, 380, 72}, MessageTitle)) << "no \"could not be saved\"";

    ASSERT_TRUE(root.Exists(u"\\SDMMC\\Autorun\\Refer\\Reference.ref"));
    root.Reload();
    CReferStore store;
    std::vector<ProfilePoint> points(kMaxProfilePoints);
    DWORD count = 0;
    ASSERT_EQ(1, store.Load(u"Reference", points.data(), &count, 1));
    const QavJournalRecord& r = journal[0];
    ASSERT_GT(StoredPoints(r), 500);
    ASSERT_EQ(count, static_cast<DWORD>(StoredPoints(r))) << "every stored point";
    EXPECT_EQ(points[0].x, r.firstX);
    for (DWORD i = 0; i < count; ++i) {
        ASSERT_EQ(points[i].z, r.profileZ[i]) << i;
        if (i > 0) {
            ASSERT_GT(points[i].x, points[i - 1].x) << i;
        }
    }
}

// The demo's road to a comparison, by taps in one run of the program: the
// standard wheel measured and stored, its profile saved as a reference in the
// journal browser, that reference chosen on the reference list, the wheel
// measured again and compared with it (reference values beside the measured
// ones, the deviation view offered and showing the areas). Then a wheel with
// a worn flange against the same reference: its curve apart from the
// reference's and deviations in the deviation view.
TEST_F(DemoCardRun, AStoredProfileBecomesTheReferenceTheNextMeasurementIsComparedWith)
{
    ASSERT_EQ(0, RunDemoCard(root.Path()));
    StartHead();
    Script s;
    Measured(Linked(s).Tap(kStartMeasure).Tap(kMeasure)).Snap(Snap("first-results"));
    s.Tap(kChartView).Snap(Snap("first-chart")).Tap(kResultsView);
    Stored(s.Tap(kSave).Tap(kRecordOk)).Tap(kClose);
    SaveFirstRecordAsReference(s, Snap("saved"));
    s.Tap(kDataMenu).Tap(kReferences).Snap(Snap("references")).Tap(kFirstReference).Tap(kMakeCurrent);
    s.Snap(Snap("chosen")).Tap(kClose).Tap(kClose);
    Measured(Linked(s).Tap(kStartMeasure).Tap(kMeasure)).Snap(Snap("compared-results"));
    s.Tap(kChartView).Snap(Snap("compared-chart")).Tap(kDeviationView).Snap(Snap("compared-deviation"));
    s.Tap(kClose);
    ASSERT_EQ(0, Run(s));

    root.Reload();
    EXPECT_EQ(Field(StoredParams().qavReferName), u"Reference") << "the saved profile is the current reference";

    const qplat::Surface firstResults = Png("first-results"), firstChart = Png("first-chart");
    const qplat::Surface saved = Png("saved"), references = Png("references"), chosen = Png("chosen");
    const qplat::Surface results = Png("compared-results"), chart = Png("compared-chart");
    const qplat::Surface deviation = Png("compared-deviation");
    EXPECT_EQ(0, Count(saved, RECT{100, 56, 380, 72}, MessageTitle)) << "the reference was saved";
    // The list's row of the saved profile; once chosen, its name in the box
    // of the current reference.
    EXPECT_GT(Count(references, RECT{14, 118, 390, 136}, Dark), 20) << "the saved profile is listed";
    EXPECT_EQ(0, Count(references, kCurrentReference, Dark)) << "no current reference yet";
    EXPECT_GT(Count(chosen, kCurrentReference, Dark), 20) << "the chosen one";
    // Without a reference: no reference values, no deviation view.
    EXPECT_EQ(0, Count(firstResults, kResultValues, Greenish));
    EXPECT_EQ(0, Count(firstChart, kDeviationViewFace, [](COLORREF c) { return c == kFaceOn; }));
    // Compared: the reference's values beside the measured ones, and the
    // deviation view offered and shown with its two areas.
    EXPECT_GT(Count(results, kResultValues, Greenish), 200) << "the reference values";
    EXPECT_GT(Count(results, kResultValues, Blueish), 200) << "the measured values";
    EXPECT_GT(Count(chart, kDeviationViewFace, [](COLORREF c) { return c == kFaceOn; }), 200)
        << "the deviation view offered";
    EXPECT_GT(Count(deviation, RECT{290, 70, 320, 84}, Greenish), 5) << "the area above the reference";
    EXPECT_GT(Count(deviation, RECT{330, 70, 360, 84}, Blueish), 5) << "the area below it";
    EXPECT_EQ(0, Count(deviation, kChartArea, Blueish)) << "no profile curve in the deviation view";

    // A worn flange against the same reference.
    sim.reset();
    StartHead({"--profile", WornProfile(3000).string()});
    Script w;
    Measured(Linked(w).Tap(kStartMeasure).Tap(kMeasure)).Tap(kChartView).Snap(Snap("worn-chart"));
    w.Tap(kDeviationView).Snap(Snap("worn-deviation")).Tap(kClose);
    ASSERT_EQ(0, Run(w));
    const qplat::Surface wornChart = Png("worn-chart"), wornDeviation = Png("worn-deviation");
    EXPECT_GT(Count(wornChart, kChartArea, Greenish), Count(chart, kChartArea, Greenish) + 30)
        << "the reference's curve apart from the worn one";
    EXPECT_GT(Count(wornDeviation, kChartArea, Greenish) + Count(wornDeviation, kChartArea, Blueish),
              Count(deviation, kChartArea, Greenish) + Count(deviation, kChartArea, Blueish) + 30)
        << "the deviations";
}

// democard run again on a card where the operator chose a journal and a
// tolerance set of the wheel family and keeps a set of the demo's name: what
// the operator chose stays, only the disc device's empty choices are filled.
TEST_F(DemoCardRun, ASecondRunKeepsWhatTheOperatorChose)
{
    ASSERT_EQ(0, RunDemoCard(root.Path()));
    root.Reload();
    WriteParams(root, [](ParamBlock& b) {
        qplat::CopyField(b.qavJournalName, PARAM_NAME_CHARS, u"Mine");
        qplat::CopyField(b.qavToleranceName, PARAM_NAME_CHARS, u"Strict");
    });
    DopuskQavRecord own;
    std::memset(&own, 0, sizeof own);
    qplat::CopyField(own.name, CATALOG_NAME_CHARS, u"Demo");
    own.upper[0] = 1234;
    own.lower[0] = 1000;
    const std::string ownSet(reinterpret_cast<const char*>(&own), sizeof own);
    root.WriteFile(u"\\SDMMC\\Autorun\\Dopusk.qav", ownSet);
    root.WriteFile(u"\\SDMMC\\Autorun\\DB\\Demo.qav", "the operator's measurements");

    ASSERT_EQ(0, RunDemoCard(root.Path()));
    root.Reload();
    const ParamBlock b = StoredParams();
    EXPECT_EQ(Field(b.qavJournalName), u"Mine");
    EXPECT_EQ(Field(b.qavToleranceName), u"Strict");
    EXPECT_EQ(Field(b.qodJournalName), u"Demo") << "an empty choice is the demo's";
    EXPECT_EQ(Field(b.qodToleranceName), u"Demo");
    EXPECT_EQ(root.ReadFile(u"\\SDMMC\\Autorun\\Dopusk.qav"), ownSet) << "the operator's set of that name stays";
    EXPECT_EQ(root.ReadFile(u"\\SDMMC\\Autorun\\DB\\Demo.qav"), "the operator's measurements");
    EXPECT_TRUE(root.Exists(u"\\SDMMC\\Autorun\\DB\\Demo.qod"));
    EXPECT_EQ(root.ReadFile(u"\\SDMMC\\Autorun\\Dopusk.qod").size(), sizeof(DopuskQodRecord));
}

// The README's example sessions, word for word, from the top folder of the
// sources: its democard pairs the head tools/run-demo pairs, its simulator is
// run-demo's, and each command prints what the README shows and ends with the
// status it shows. Only /tmp/ is moved into the test's folder and build/demo/
// is this build.
TEST_F(DemoCardRun, TheReadmeSessionsRunWordForWordWithTheSensorOfRunDemo)
{
    const std::vector<ReadmeStep> steps = ReadmeSessions();
    const std::string runDemo = ReadSourceFile("tools/run-demo");
    const RunDemoSensor& sensor = RunDemo();
    ASSERT_FALSE(sensor.address.empty() || sensor.name.empty() || sensor.pin.empty()) << runDemo;
    ASSERT_NE(runDemo.find("--sensor \"$address\" \"$name\" \"$pin\""), std::string::npos);
    ASSERT_NE(runDemo.find("--address \"$address\" --name \"$name\" --pin \"$pin\""), std::string::npos);
    const std::string paired = "--sensor " + sensor.address + " \"" + sensor.name + "\" " + sensor.pin;
    const std::string simulated = "--address " + sensor.address + " --name \"" + sensor.name + "\" --pin " + sensor.pin;

    const std::string here = fs::canonical(dir).string();
    fs::create_directories(here + "/tmp");
    fs::create_directory_symlink(std::string(QAV5_SOURCE_DIR) + "/data", here + "/data");
    auto inHere = [&](const std::string& text) {
        return Replaced(Replaced(text, "/tmp/", here + "/tmp/"), "build/demo/", std::string(QAV5_BINARY_DIR) + "/");
    };
    const std::string printed = here + "/printed.txt";
    std::vector<std::string> snapshots, seen;
    int status = -1;
    for (const ReadmeStep& step : steps) {
        seen.push_back(step.command);
        const std::string& c = step.command;
        if (c.rfind("build/demo/", 0) == 0) {
            EXPECT_NE(runDemo.find(c.substr(0, c.find(' '))), std::string::npos) << "not run-demo's program: " << c;
        }
        if (c.find("democard") != std::string::npos && c.find("--sensor") != std::string::npos) {
            EXPECT_NE(c.find(paired), std::string::npos) << c;
        }
        if (c.rfind("cat ", 0) == 0) {
            std::ofstream script(here + "/" + c.substr(4));
            for (const std::string& line : step.output) {
                script << inHere(line) << "\n";
                if (line.rfind("snapshot ", 0) == 0) snapshots.push_back(inHere(line.substr(9)));
            }
        } else if (c == "echo $?") {
            EXPECT_EQ(step.output, std::vector<std::string>{std::to_string(status)}) << "the status of " << seen.end()[-2];
        } else if (c == "kill $!") {
            ASSERT_TRUE(sim) << "no simulator to end";
            EXPECT_EQ(0, sim->Stop()) << "the simulator ends in order";
            sim.reset();
        } else if (c.size() > 2 && c.compare(c.size() - 2, 2, " &") == 0) {
            EXPECT_NE(c.find("sensorsim"), std::string::npos) << c;
            EXPECT_NE(c.find(simulated), std::string::npos) << c;
            sim = std::make_unique<SimProcess>(
                std::vector<std::string>{"-c", "cd '" + here + "' && exec " + inHere(c.substr(0, c.size() - 2))},
                "/bin/sh");
            ASSERT_EQ(1u, step.output.size()) << c;
            const std::string device = step.output[0].substr(0, step.output[0].rfind('/') + 1);
            EXPECT_EQ(0u, sim->Path().rfind(device, 0)) << "the serial device first: " << sim->Path();
        } else {
            const int raw = std::system(("cd '" + here + "' && " + inHere(c) + " >'" + printed + "' 2>&1").c_str());
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            std::ifstream in(printed);
            std::vector<std::string> lines, expected;
            for (std::string line; std::getline(in, line);) lines.push_back(line);
            for (const std::string& line : step.output) expected.push_back(inHere(line));
            EXPECT_EQ(lines, expected) << c;
        }
    }
    EXPECT_FALSE(sim) << "a simulator the README leaves running";
    // Both examples, each with its card and its script.
    for (const char* command : {"democard --root /tmp/qav5-root --data data", "cat look.txt", "cat measure.txt",
                                "--script look.txt", "--script measure.txt", "sensorsim --root /tmp/qav5-root"})
        EXPECT_TRUE(std::any_of(seen.begin(), seen.end(),
                                [&](const std::string& s) { return s.find(command) != std::string::npos; }))
            << command;
    ASSERT_FALSE(snapshots.empty());
    for (const std::string& png : snapshots) EXPECT_EQ(ReadPngFile(png).width, 480) << png;
}

}  // namespace
