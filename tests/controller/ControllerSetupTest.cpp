// The set-up the measuring launchers run: identification, tolerance sets,
// calculation settings and reference profile, the heads' settings words and
// the progress bar that follows their reading.
#include <cstring>

#include "tests/controller/ControllerTestSupport.h"
#include "tests/support/Fields.h"

using ctltest::ControllerTest;
using ctltest::CountRequests;

namespace {

DopuskQavRecord QavSet(const char16_t* name, LONG firstUpper)
{
    DopuskQavRecord r{};
    wcsncpy(r.name, name, CATALOG_NAME_CHARS);
    for (int i = 0; i < QAV_LIMIT_COUNT; ++i) {
        r.upper[i] = firstUpper + i;
        r.lower[i] = -(firstUpper + i);
    }
    return r;
}

DopuskQodRecord QodSet(const char16_t* name, LONG first)
{
    DopuskQodRecord r{};
    wcsncpy(r.name, name, CATALOG_NAME_CHARS);
    for (int i = 0; i < QOD_LIMIT_COUNT; ++i)
        r.limits[i] = first + i;
    return r;
}

}  // namespace

TEST_F(ControllerTest, AttachIdentifiesOnceAndLaterLaunchesOnlyTakeThePort)
{
    sensorsim::Device& head = Start(ctltest::S1002Head(60));
    ASSERT_EQ(1, ctl->AttachPort(port));
    EXPECT_TRUE(ctl->m_head1Identified);
    EXPECT_EQ(60, ctl->m_head1Info.firmwareVersion);
    EXPECT_EQ(100, ctl->m_head1Info.measuringRange);
    EXPECT_FALSE(ctl->m_head2Identified) << "a wheel head has no second head";
    ASSERT_EQ(1, ctl->ReadHeadSettings(parent, nullptr));
    const int identifications = CountRequests(head, 0x81);
    const int registerReads = CountRequests(head, 0x82);
    EXPECT_EQ(1, identifications);
    EXPECT_GT(registerReads, 15);

    // The second launch: nothing is sent to the head.
    ASSERT_EQ(1, ctl->AttachPort(port));
    ASSERT_EQ(1, ctl->ReadHeadSettings(parent, nullptr));
    EXPECT_EQ(identifications, CountRequests(head, 0x81));
    EXPECT_EQ(registerReads, CountRequests(head, 0x82));

    // Another sensor picked in the settings: everything is asked again.
    ctl->ForgetHeads();
    ASSERT_EQ(1, ctl->AttachPort(port));
    EXPECT_EQ(identifications + 1, CountRequests(head, 0x81));
}

TEST_F(ControllerTest, AttachRefusesMissingPortsAndASilentHeadAndRetriesLater)
{
    EXPECT_EQ(0, ctl->AttachPort(nullptr));
    EXPECT_EQ(0, ctl->AttachPort(INVALID_HANDLE_VALUE));
    sensorsim::Device& head = Start(ctltest::S1002Head());
    head.SetFaults(qtest::FaultOnly(&sensorsim::Faults::silent));
    EXPECT_EQ(0, ctl->AttachPort(port));
    EXPECT_FALSE(ctl->m_head1Identified);
    head.SetFaults({});
    EXPECT_EQ(1, ctl->AttachPort(port));
    EXPECT_TRUE(ctl->m_head1Identified);
}

TEST_F(ControllerTest, TwoHeadDiscIdentifiesAndReadsBothHeadsAndHeadTwoFailingFailsTheSetUp)
{
    WriteParams([](ParamBlock& b) {
        b.deviceType = 4;
        b.discHeadMode = 2;
    });
    sensorsim::Device& disc = Start(ctltest::TwoHeadDisc());
    ASSERT_EQ(1, ctl->AttachPort(port));
    EXPECT_TRUE(ctl->m_head1Identified);
    EXPECT_TRUE(ctl->m_head2Identified);
    ASSERT_EQ(1, ctl->ReadQodHeadSettings(parent, nullptr));
    const profilegen::HeadEncoding enc = profilegen::DefaultDiscHead();
    for (int i = 0; i < kQodRegisterCount; ++i) {
        EXPECT_EQ(enc.words[static_cast<size_t>(i)], ctl->m_head1Settings.words[i]) << "head 1 word " << i;
        EXPECT_EQ(enc.words[static_cast<size_t>(i)], ctl->m_head2Settings[i]) << "head 2 word " << i;
    }
    EXPECT_EQ(7000, ctl->m_discSettings.discL2);

    // A fresh controller whose second head never answers: the whole set-up fails.
    ctl = std::make_unique<CMeasureController>();
    ctl->m_head1Identified = TRUE;  // head 1 already known
    disc.SetFaults(qtest::FaultOnly(&sensorsim::Faults::silent));
    EXPECT_EQ(0, ctl->AttachPort(port));
    EXPECT_FALSE(ctl->m_head2Identified);
}

// A head answering random bytes: an identification of the right length but
// no sense is refused and said to be unreadable, and nothing of it is kept,
// so a sound head is identified at the next launch.
TEST_F(ControllerTest, GarbledIdentificationIsRefusedAndASoundHeadIsIdentifiedNext)
{
    sensorsim::Device& head = Start(ctltest::S1002Head(60));
    head.SetFaults(qtest::FaultOnly(&sensorsim::Faults::garbage));
    for (int attempt = 0; attempt < 8; ++attempt) {
        EXPECT_EQ(0, ctl->AttachPort(port)) << attempt;
        EXPECT_TRUE(ctl->m_headAnswerUnreadable) << attempt;
        EXPECT_FALSE(ctl->m_head1Identified) << attempt;
    }
    head.SetFaults({});
    ASSERT_EQ(1, ctl->AttachPort(port));
    EXPECT_FALSE(ctl->m_headAnswerUnreadable);
    EXPECT_EQ(60, ctl->m_head1Info.firmwareVersion);
    EXPECT_EQ(100, ctl->m_head1Info.measuringRange);

    // A head that does not answer at all is not "unreadable".
    ctl->ForgetHeads();
    head.SetFaults(qtest::FaultOnly(&sensorsim::Faults::silent));
    EXPECT_EQ(0, ctl->AttachPort(port));
    EXPECT_FALSE(ctl->m_headAnswerUnreadable);
}

// What the set-up learned of both heads is forgotten when the set-up or a
// run fails: the next launch asks both heads again.
TEST_F(ControllerTest, FailedSetUpOrRunForgetsBothHeadsOfATwoHeadDisc)
{
    WriteParams([](ParamBlock& b) {
        b.deviceType = 4;
        b.discHeadMode = 2;
    });
    sensorsim::Device& disc = Start(ctltest::TwoHeadDisc());
    auto known = [&] {
        return ctl->m_head1Identified && ctl->m_head2Identified && ctl->m_head1SettingsRead &&
               ctl->m_head2SettingsRead;
    };
    auto forgotten = [&] {
        return !ctl->m_head1Identified && !ctl->m_head2Identified && !ctl->m_head1SettingsRead &&
               !ctl->m_head2SettingsRead;
    };
    ASSERT_EQ(1, ctl->AttachPort(port));
    // Head 2 stops answering half-way through its settings, after head 1's.
    long headRequests = 0;  // one request for each register of the head's settings
    for (const HeadRegister& r : g_qodRegisterTable)
        headRequests += r.width;
    disc.SetFaults({.dropReplies = {disc.RequestCount() + headRequests + 4}});
    EXPECT_EQ(0, ctl->ReadQodHeadSettings(parent, nullptr));
    EXPECT_TRUE(forgotten());

    disc.SetFaults({});
    const int identifications = CountRequests(disc, 0x81);
    ASSERT_EQ(1, ctl->AttachPort(port));
    ASSERT_EQ(1, ctl->ReadQodHeadSettings(parent, nullptr));
    EXPECT_EQ(identifications + 2, CountRequests(disc, 0x81)) << "both heads identified again";
    EXPECT_TRUE(known());

    // A run that fails forgets them too.
    disc.SetFaults(qtest::FaultOnly(&sensorsim::Faults::silent));
    EXPECT_EQ(0, ctl->MeasureDisc(parent, nullptr, 0));
    EXPECT_TRUE(forgotten());
    disc.SetFaults({});
    ASSERT_EQ(1, ctl->AttachPort(port));
    ASSERT_EQ(1, ctl->ReadQodHeadSettings(parent, nullptr));
    EXPECT_TRUE(known());
    EXPECT_EQ(1, ctl->MeasureDisc(parent, nullptr, 0));
    EXPECT_TRUE(known()) << "a good run keeps what the set-up learned";
}

TEST_F(ControllerTest, HeadSettingsReadFifteenEntriesAndLateEntryBehindAHiddenBar)
{
    Start(ctltest::S1002Head());
    ASSERT_EQ(1, ctl->AttachPort(port));
    ASSERT_EQ(1, ctl->ReadHeadSettings(parent, nullptr));
    const profilegen::HeadEncoding enc = profilegen::DefaultWheelHead();
    for (int i = 0; i <= 14; ++i)
        EXPECT_EQ(enc.words[static_cast<size_t>(i)], ctl->m_head1Settings.words[i]) << "word " << i;
    EXPECT_EQ(41, ctl->m_head1Settings.words[35]);
    EXPECT_TRUE(ctl->m_head1SettingsRead);

    HWND bar = ctl->m_progress;
    ASSERT_TRUE(bar && IsWindow(bar));
    EXPECT_EQ(parent, GetParent(bar));
    EXPECT_FALSE(IsWindowVisible(bar)) << "hidden when the read is over";
    const LONG_PTR style = WS_CHILD | WS_BORDER | PBS_SMOOTH;
    EXPECT_EQ(style, GetWindowLongW(bar, GWL_STYLE) & style);
    RECT r;
    GetWindowRect(bar, &r);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(r.left, 3), FIELD_IS(r.top, 252), FIELD_IS(r.right - r.left, 474),
                                 FIELD_IS(r.bottom - r.top, 16)));
    EXPECT_EQ(15, SendMessageW(bar, PBM_GETRANGE, FALSE, 0)) << "15 steps, though 16 entries are read";
    EXPECT_EQ(14, SendMessageW(bar, PBM_GETPOS, 0, 0));
}

TEST_F(ControllerTest, FailedOrUnusableSettingsLeaveTheFlagClearForTheNextLaunch)
{
    sensorsim::DeviceConfig config = ctltest::S1002Head();
    sensorsim::Device& head = Start(config);
    ASSERT_EQ(1, ctl->AttachPort(port));

    // The head stops answering half-way through.
    head.SetFaults({.dropReplies = {head.RequestCount() + 5}});
    EXPECT_EQ(0, ctl->ReadHeadSettings(parent, nullptr));
    EXPECT_FALSE(ctl->m_head1SettingsRead);
    ASSERT_TRUE(ctl->m_progress);
    EXPECT_FALSE(IsWindowVisible(ctl->m_progress));

    // Word 12 negative: read, but refused.
    head.SetFaults({});
    head.SetRegister(0, 0x3B, 0x80);  // high byte of word 12
    EXPECT_EQ(0, ctl->ReadHeadSettings(parent, nullptr));
    EXPECT_FALSE(ctl->m_head1SettingsRead);
    EXPECT_LT(ctl->m_head1Settings.words[12], 0);

    head.SetRegister(0, 0x3B, 0x0B);
    EXPECT_EQ(1, ctl->ReadHeadSettings(parent, nullptr));
    EXPECT_EQ(2900, ctl->m_head1Settings.words[12]);
}

TEST_F(ControllerTest, ToleranceSetIsFoundByItsWholeNameOnly)
{
    WriteParams([](ParamBlock& b) { wcsncpy(b.qavToleranceName, u"Wagon", PARAM_NAME_CHARS); });
    CDopuskQavFile file;
    ASSERT_EQ(0, file.GetCount());  // creates the empty file
    ctl->LoadQavTolerances();
    for (LONG v : ctl->m_wheelLimits)
        ASSERT_EQ(0, v) << "an empty file loads nothing";

    const DopuskQavRecord longer = QavSet(u"Wagon 2", 100);
    const DopuskQavRecord upper = QavSet(u"WAGON", 200);
    const DopuskQavRecord exact = QavSet(u"Wagon", 300);
    const DopuskQavRecord later = QavSet(u"Wagon", 400);
    for (const auto* r : {&longer, &upper, &exact, &later})
        ASSERT_EQ(1, file.Append(r));
    ctl->LoadQavTolerances();
    EXPECT_EQ(300, ctl->m_wheelLimits[0]) << "the first exact match";
    EXPECT_EQ(-300, ctl->m_wheelLimits[22]);
    EXPECT_EQ(nullptr, ctl->m_qavRecords) << "the records are freed";

    // A name that matches nothing keeps what the last set gave.
    WriteParams([](ParamBlock& b) { wcsncpy(b.qavToleranceName, u"Locomotive", PARAM_NAME_CHARS); });
    ctl->LoadQavTolerances();
    EXPECT_EQ(300, ctl->m_wheelLimits[0]);
}

TEST_F(ControllerTest, ToleranceNamesFillingTheirWholeFieldAreComparedWithinIt)
{
    // Both names use all 50 characters with no terminator: the comparison
    // must stop at the field's end, not run on into the limits.
    std::u16string full(PARAM_NAME_CHARS, u'A');
    WriteParams([&](ParamBlock& b) { std::memcpy(b.qodToleranceName, full.data(), PARAM_NAME_CHARS * 2); });
    DopuskQodRecord r = QodSet(u"", 70);
    std::memcpy(r.name, full.data(), CATALOG_NAME_CHARS * 2);
    CDopuskQodFile file;
    ASSERT_EQ(0, file.GetCount());
    ASSERT_EQ(1, file.Append(&r));
    ctl->LoadQodTolerances();
    EXPECT_EQ(70, ctl->m_discLimits[0]);
    EXPECT_EQ(85, ctl->m_discLimits[15]);
}

TEST_F(ControllerTest, ReferenceIsDroppedWhenTheSettingsNameNoneOrAnotherFamily)
{
    // A wheel reference: the S1002 profile every 50 um.
    WriteS1002Reference(u"S1002");
    WriteParams([](ParamBlock& b) { wcsncpy(b.qavReferName, u"S1002", PARAM_NAME_CHARS); });
    ctl->ApplyParams();
    ASSERT_GT(ctl->m_refCount, 2000u);
    EXPECT_NEAR(ctl->m_refResult.values[0], 28000, 100) << "the reference is evaluated on its own";
    EXPECT_EQ(10000, ctl->m_headSettings.dimensions[DIM_L3]);

    // The disc device names no reference of its own: the wheel's is gone.
    WriteParams([](ParamBlock& b) {
        b.deviceType = 4;
        wcsncpy(b.qavReferName, u"S1002", PARAM_NAME_CHARS);
    });
    ctl->ApplyParams();
    EXPECT_EQ(0u, ctl->m_refCount);
    EXPECT_EQ(7000, ctl->m_discSettings.discL2);

    // And a wheel launch naming a missing file has none either.
    WriteParams([](ParamBlock& b) { wcsncpy(b.qavReferName, u"Missing", PARAM_NAME_CHARS); });
    ctl->ApplyParams();
    EXPECT_EQ(0u, ctl->m_refCount);
    EXPECT_EQ(0, ctl->m_refResult.values[0]);
}

TEST_F(ControllerTest, ProgressBarOperationsAndANewBarReplacingTheOld)
{
    ctl->CreateProgress(parent, nullptr, 9, 140, 220, 300, 20);
    HWND first = ctl->m_progress;
    ASSERT_TRUE(first);
    EXPECT_TRUE(IsWindowVisible(first));
    EXPECT_EQ(9, SendMessageW(first, PBM_GETRANGE, FALSE, 0));
    ctl->SetProgress(4);
    EXPECT_EQ(4, SendMessageW(first, PBM_GETPOS, 0, 0));
    ctl->ShowProgress(FALSE);
    EXPECT_FALSE(IsWindowVisible(first));
    ctl->CreateProgress(parent, nullptr, 3, 140, 220, 300, 20);
    EXPECT_NE(first, ctl->m_progress);
    EXPECT_FALSE(IsWindow(first)) << "bars do not pile up under the screen";

    // The parent went away with its bar: the controller's calls stay harmless.
    DestroyWindow(parent);
    parent = nullptr;
    ctl->SetProgress(1);
    ctl->ShowProgress(TRUE);
}
