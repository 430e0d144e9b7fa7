// The paired-sensor list: the device type chosen here is saved at once, the
// list shows that type's sensors with the current one marked, selecting makes
// one current, deleting refuses the current one, and the screen answers
// whether the program's sensor changed. Pairing itself runs against the
// sensor simulator: a search finds it, adding it makes it current, and the
// link monitor then connects with its PIN.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/WinComm.h"
#include "platform/WinKernel.h"
#include "sensor/LinkMonitor.h"
#include "sensor/ui/BTDeviceListDlg.h"
#include "sensor/ui/DlgFindBTD.h"
#include "tests/sensor_ui/SensorScreensTestSupport.h"

namespace {

using namespace qtest;

constexpr int kRadioType1 = CBTDeviceListDlg::kFirstRadioId;
constexpr int kRadioType2 = CBTDeviceListDlg::kFirstRadioId + 1;
constexpr int kRadioType3 = CBTDeviceListDlg::kFirstRadioId + 2;

class BTDeviceListTest : public sensorui::SensorScreensTest {
protected:
    static CBTDeviceListDlg& Screen() { return *CBTDeviceListDlg::Current(); }
    static std::vector<std::u16string> Rows() { return ColumnTexts(Screen().m_list, 0); }
    static std::vector<std::u16string> Marks() { return ColumnTexts(Screen().m_list, 1); }
    static int Row(const std::u16string& name) { return FindRow(Screen().m_list, 0, name); }
    // The row chosen and deleted, the box that asks or refuses answered with
    // `button`.
    static void Delete(HWND dlg, int row, std::vector<std::u16string>* boxes, int button = kBoxFirstButton)
    {
        Screen().m_list.SelectItem(row);
        AnswerBox(boxes, button);
        Press(dlg, CBTDeviceListDlg::kDeleteId);
    }
    BOOL Run(std::function<void(HWND)> steps, CLinkMonitor* monitor = nullptr)
    {
        Then([steps] { steps(FrontDialog()); });
        CLinkMonitor own;
        return RunScreen<CBTDeviceListDlg>(nullptr, owner, monitor ? monitor : &own);
    }
    // Two heads and a gauge in the file, the first head current.
    void ThreeSensors()
    {
        WriteRecords({Record(1, u"LX412 11111", u"126f000011"), Record(2, u"QUN 22222", u"126f000022"),
                      Record(1, u"LX412 33333", u"126f000033")});
        WriteSettings(1, [](ParamBlock& b) {
            MakeCurrent(b, 1, u"LX412 11111", u"00126f000011", u"1111");
            MakeCurrent(b, 2, u"QUN 22222", u"00126f000022", u"2222");
        });
    }
};

TEST_F(BTDeviceListTest, ChoosingADeviceTypeSavesItAtOnceAndTellsTheChange)
{
    ThreeSensors();
    int typeAfterRadio = 0;
    std::vector<std::u16string> heads, gauges, headMarks;
    EXPECT_TRUE(Run([&](HWND dlg) {
        EXPECT_EQ(IsDlgButtonChecked(dlg, kRadioType1), BST_CHECKED);
        heads = Rows();
        headMarks = Marks();
        EXPECT_EQ(Screen().m_list.GetSelected(), Row(u"LX412 11111")) << "the current one is selected";
        EXPECT_FALSE(HighlightStopsShort(Screen().m_list.m_hWnd, Row(u"LX412 11111"), 1)) << "short of the frame";
        sensorui::Snapshot("bt_device_list.png");
        Press(dlg, kRadioType2);
        typeAfterRadio = ReadSettings().deviceType;
        EXPECT_EQ(IsDlgButtonChecked(dlg, kRadioType2), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dlg, kRadioType1), BST_UNCHECKED);
        gauges = Rows();
        Press(dlg, CBTDeviceListDlg::kBackId);
    })) << "the gauge's sensor is another than the head's";
    EXPECT_EQ(typeAfterRadio, 2);
    EXPECT_EQ(heads, (std::vector<std::u16string>{u"LX412 11111", u"LX412 33333"}));
    EXPECT_EQ(headMarks, (std::vector<std::u16string>{u"\u2022", u""}));
    EXPECT_EQ(gauges, std::vector<std::u16string>{u"QUN 22222"});

    // Opened and closed: nothing changed.
    EXPECT_FALSE(Run([&](HWND dlg) { Press(dlg, CBTDeviceListDlg::kBackId); }));
    // Back to the head and again to the gauge: the same sensor as at opening.
    EXPECT_FALSE(Run([&](HWND dlg) {
        Press(dlg, kRadioType1);
        Press(dlg, kRadioType2);
        SendMessageW(dlg, WM_CLOSE, 0, 0);
    }));
    // Two types whose sensors have the same (empty) name: the type itself
    // changed, so the program's sensor did.
    WriteSettings(3, [](ParamBlock& b) {
        MakeCurrent(b, 3, u"", u"", u"");
        MakeCurrent(b, 4, u"", u"", u"");
    });
    EXPECT_TRUE(Run([&](HWND dlg) {
        EXPECT_EQ(IsDlgButtonChecked(dlg, kRadioType3), BST_CHECKED);
        Press(dlg, CBTDeviceListDlg::kFirstRadioId + 3);
        Press(dlg, CBTDeviceListDlg::kBackId);
    }));
    EXPECT_EQ(ReadSettings().deviceType, 4);
}

TEST_F(BTDeviceListTest, SelectingMakesASensorCurrentWithItsPinAndAddress)
{
    ThreeSensors();
    std::vector<std::u16string> marks;
    EXPECT_TRUE(Run([&](HWND dlg) {
        Screen().m_list.SelectItem(Row(u"LX412 33333"));
        Press(dlg, CBTDeviceListDlg::kSelectId);
        marks = Marks();
        Press(dlg, CBTDeviceListDlg::kBackId);
    }));
    EXPECT_EQ(marks, (std::vector<std::u16string>{u"", u"\u2022"}));
    const ParamBlock block = ReadSettings();
    const ParamBTRecord& head = block.qavSensors[0];
    EXPECT_EQ(qplat::FieldText(head.name, 12), u"LX412 33333");
    EXPECT_EQ(qplat::FieldText(head.pin, 5), u"3333");
    EXPECT_EQ(qplat::FieldText(head.address, 20), u"126f000033");
    EXPECT_EQ(CurrentName(block, 2), u"QUN 22222");
}

TEST_F(BTDeviceListTest, DeletingRefusesTheCurrentSensorAndRewritesTheFile)
{
    ThreeSensors();
    std::vector<std::u16string> boxes;
    bool deleteEnabledAtEnd = true;
    Run([&](HWND dlg) {
        Delete(dlg, Row(u"LX412 11111"), &boxes);
        Delete(dlg, Row(u"LX412 33333"), &boxes, kBoxSecondButton);
        EXPECT_EQ(ReadRecords().size(), 3u) << "no: nothing removed";
        Delete(dlg, Row(u"LX412 33333"), &boxes);
        EXPECT_EQ(Rows(), std::vector<std::u16string>{u"LX412 11111"});
        // The gauge's sensor, the last one of its type: the current one stays
        // too, until another type is chosen.
        Press(dlg, kRadioType3);
        EXPECT_EQ(Screen().m_list.GetItemCount(), 0);
        AnswerBox(&boxes);
        Press(dlg, CBTDeviceListDlg::kDeleteId);
        AnswerBox(&boxes);
        Press(dlg, CBTDeviceListDlg::kSelectId);
        Press(dlg, kRadioType2);
        Delete(dlg, Row(u"QUN 22222"), &boxes);
        Press(dlg, kRadioType1);
        Delete(dlg, Row(u"LX412 11111"), &boxes);
        deleteEnabledAtEnd = IsWindowEnabled(GetDlgItem(dlg, CBTDeviceListDlg::kDeleteId)) != 0;
        Press(dlg, CBTDeviceListDlg::kBackId);
    });
    EXPECT_EQ(boxes, (std::vector<std::u16string>{LanguageText(50042), LanguageText(50043), LanguageText(50043),
                                                   LanguageText(50005), LanguageText(50005), LanguageText(50042),
                                                   LanguageText(50042)}));
    EXPECT_EQ(Names(ReadRecords()), (std::vector<std::u16string>{u"LX412 11111", u"QUN 22222"}));
    EXPECT_TRUE(deleteEnabledAtEnd);

    // Removing the last remaining record leaves an empty file, and the
    // delete button off.
    WriteRecords({Record(1, u"LX412 11111", u"126f000011")});
    WriteSettings(1, [](ParamBlock& b) { MakeCurrent(b, 1, u"", u"", u""); });
    Run([&](HWND dlg) {
        Delete(dlg, 0, &boxes);
        deleteEnabledAtEnd = IsWindowEnabled(GetDlgItem(dlg, CBTDeviceListDlg::kDeleteId)) != 0;
        Press(dlg, CBTDeviceListDlg::kBackId);
    });
    EXPECT_TRUE(root.Exists(u"\\SDMMC\\Autorun\\BTDevice.qav"));
    EXPECT_TRUE(ReadRecords().empty());
    EXPECT_FALSE(deleteEnabledAtEnd);

    // The file changed on the card while the list is open (another card's
    // three sensors): the delete writes nothing, says so, and the list shows
    // the card's sensors; none of them goes.
    ThreeSensors();
    const std::vector<BTDeviceRecord> other = {Record(1, u"LX412 44444", u"126f000044"),
                                               Record(1, u"LX412 55555", u"126f000055"),
                                               Record(2, u"QUN 66666", u"126f000066")};
    std::vector<std::u16string> told;
    std::vector<std::u16string> shown;
    Run([&](HWND dlg) {
        const int row = Row(u"LX412 33333");
        WriteRecords(other);
        Screen().m_list.SelectItem(row);
        AnswerBoxes(&told, {kBoxFirstButton, kBoxFirstButton});
        Press(dlg, CBTDeviceListDlg::kDeleteId);
        shown = Rows();
        Press(dlg, CBTDeviceListDlg::kBackId);
    });
    EXPECT_EQ(told, (std::vector<std::u16string>{LanguageText(50043), LanguageText(SCREEN_CARD_CHANGED)}));
    EXPECT_EQ(Names(ReadRecords()), Names(other)) << "every sensor of the card kept";
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"LX412 44444", u"LX412 55555"}));
}

TEST_F(BTDeviceListTest, WithNoCurrentSensorARecordWithoutANameIsNeitherMarkedNorKept)
{
    WriteRecords({Record(1, u"", u"126f000011"), Record(1, u"LX412 33333", u"126f000033")});
    WriteSettings(1, [](ParamBlock& b) { MakeCurrent(b, 1, u"", u"", u""); });
    std::vector<std::u16string> boxes, marks;
    Run([&](HWND dlg) {
        marks = Marks();
        Delete(dlg, Row(u""), &boxes);
        Press(dlg, CBTDeviceListDlg::kBackId);
    });
    EXPECT_EQ(marks, (std::vector<std::u16string>{u"", u""}));
    EXPECT_EQ(boxes, std::vector<std::u16string>{LanguageText(50043)}) << "asked, not refused as the current one";
    EXPECT_EQ(Names(ReadRecords()), std::vector<std::u16string>{u"LX412 33333"});
}

TEST_F(BTDeviceListTest, AFailedSaveIsShownAndTheTypeStays)
{
    ThreeSensors();
    std::vector<std::u16string> boxes;
    EXPECT_FALSE(Run([&](HWND dlg) {
        qplat::FailFileWritesAfter(0);
        AnswerBox(&boxes);
        Press(dlg, kRadioType2);
        AnswerBox(&boxes);
        Screen().m_list.SelectItem(Row(u"LX412 33333"));
        Press(dlg, CBTDeviceListDlg::kSelectId);
        qplat::FailFileWritesAfter(-1);
        EXPECT_EQ(IsDlgButtonChecked(dlg, kRadioType1), BST_CHECKED);
        EXPECT_EQ(Rows(), (std::vector<std::u16string>{u"LX412 11111", u"LX412 33333"}));
        EXPECT_EQ(Marks(), (std::vector<std::u16string>{u"\u2022", u""}));
        Press(dlg, CBTDeviceListDlg::kBackId);
    }));
    EXPECT_EQ(boxes, (std::vector<std::u16string>{LanguageText(50015), LanguageText(50015)}));
    EXPECT_EQ(ReadSettings().deviceType, 1);
}

TEST_F(BTDeviceListTest, TheDeviceTypeFrameHoldsItsFourChoicesInEitherLanguage)
{
    ThreeSensors();
    for (const char* language : {"ENG.LNG", "RUS.LNG"}) {
        UseLanguage(language);
        RECT last{};
        COLORREF bottomEdge = 0, below = 0;
        Run([&](HWND dlg) {
            // Each choice's text fits beside its mark.
            HDC dc = GetDC(dlg);
            HGDIOBJ old = SelectObject(dc, Screen().m_font);
            for (int i = 0; i < 4; ++i) {
                HWND radio = GetDlgItem(dlg, kRadioType1 + i);
                const std::u16string text = WindowText(radio);
                SIZE size{};
                GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
                RECT r;
                GetClientRect(radio, &r);
                EXPECT_LE(size.cx + 18, r.right) << language << " " << qplat::ToUtf8(text);
            }
            SelectObject(dc, old);
            ReleaseDC(dlg, dc);
            GetWindowRect(GetDlgItem(dlg, kRadioType1 + 3), &last);
            MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&last), 2);
            sensorui::Snapshot(std::string("bt_device_list_") + language + ".png");
            bottomEdge = ClientPixel(dlg, 60, 65 + 130 - 1);
            below = ClientPixel(dlg, 60, 65 + 130 + 2);
            Press(dlg, CBTDeviceListDlg::kBackId);
        });
        EXPECT_EQ(bottomEdge, 0x000000u) << language;
        EXPECT_EQ(below, 0xFFFFFFu) << language;
        EXPECT_LT(last.bottom, 65 + 130 - 1) << "the fourth choice inside the frame";
        EXPECT_GT(last.top, 65);
    }
}

// The whole road with the simulator: a wheel head and a type-2 gauge are in
// reach; the gauge is searched for, added with its PIN, made current, and the
// link monitor connects to it.
TEST_F(BTDeviceListTest, PairsWithASimulatedGaugeAndTheMonitorConnects)
{
    qplat::ResetCommDevices();
    const auto sims = StartSimulators();
    WriteSettings(1);

    CLinkMonitor monitor;
    std::vector<std::u16string> found, boxes, marks;
    const BOOL changed = Run(
        [&](HWND dlg) {
            Press(dlg, kRadioType2);
            Then([&] {
                HWND search = FrontDialog();
                sensorui::RunSearch(search);
                found = ColumnTexts(CDlgFindBTD::Current()->m_list, 0);
                CDlgFindBTD::Current()->m_list.SelectItem(0);
                Press(search, CDlgFindBTD::kAddId);
            });
            Press(dlg, CBTDeviceListDlg::kSearchId);
            marks = Marks();
            EXPECT_EQ(Rows(), std::vector<std::u16string>{u"QUN 54321"});
            // The new sensor is the current one now: it stays.
            Delete(dlg, 0, &boxes);
            sensorui::Snapshot("bt_device_list_paired.png");
            Press(dlg, CBTDeviceListDlg::kBackId);
        },
        &monitor);
    EXPECT_TRUE(changed);
    EXPECT_EQ(found, std::vector<std::u16string>{u"QUN 54321"}) << "the head's name has no two letters of the word";
    EXPECT_EQ(marks, std::vector<std::u16string>{u"\u2022"});
    EXPECT_EQ(boxes, std::vector<std::u16string>{LanguageText(50042)});
    EXPECT_EQ(Names(ReadRecords()), std::vector<std::u16string>{u"QUN 54321"});

    // What the settings menu does then: the monitor starts again, without a
    // link, and connects to the new sensor with its PIN.
    monitor.MarkDisconnected();
    monitor.Start(nullptr);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!monitor.m_connected.load() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    monitor.Stop();
    EXPECT_EQ(monitor.m_connected.load(), 1);
    EXPECT_EQ(monitor.Params().deviceType, 2);
    EXPECT_EQ(qplat::StoredPin(0x00126FA00C01ULL), "5431");
    EXPECT_EQ(qplat::StoredPin(0x00126FA00B7CULL), "") << "the head was not paired";
    monitor.ClosePort();
    qplat::ResetCommDevices();
}

}  // namespace
