// The pattern every screen follows, on two small screens of the test's own:
// the answers to the common messages, the back button and WM_CLOSE, the
// settings copy, the power key, nested screens of two classes, late messages
// after a screen ended and an allocation that fails.

#include <vector>

#include "platform/Presenter.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/ScreenDlg.h"

using namespace qtest;

namespace {

// A screen that answers 1 to WM_ERASEBKGND and to what it leaves unhandled.
class CPlainDlg : public CScreenDlg<CPlainDlg> {
public:
    static constexpr int kTemplateId = 731;
    static constexpr int kTitleTextId = 40100;
    static constexpr int kBackId = 424;
    static constexpr INT_PTR kEraseAnswer = 1;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    void OnLoadSettings() { ++loads; }
    void OnInitDialog()
    {
        AddButtons(m_buttons, 2);
        CreateBackButton(m_buttons[0]);
        m_buttons[1].Create(m_hWnd, m_hInstance, 18, 220, 141, 41, 425, 210, 211, 212);
        ready = true;
    }
    void OnClose() { closedByCleanUp = m_buttons[0].m_hWnd != nullptr; }
    void PaintContent(HDC dc) { m_paint.FillFramedRect(m_hWnd, dc, 100, 100, 20, 20, 0x0000FF, 1, 0); }

    int loads = 0;
    bool ready = false;
    bool closedByCleanUp = false;
    COwnerButton m_buttons[2];
};

// A screen with the other answers, that tells confirm from cancel itself,
// only reads the settings and paints a background of its own.
class COtherDlg : public CScreenDlg<COtherDlg> {
public:
    static constexpr int kTemplateId = 270;
    static constexpr int kTitleTextId = 0;
    static constexpr int kBackId = 271;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 0;
    static constexpr float kPanelFactor = 0.0f;
    static constexpr bool kDefaultsWhenUnread = false;

    void PaintFrame(HDC dc) { m_paint.FillClient(m_hWnd, dc, 0x00FF00); }

    void OnInitDialog()
    {
        AddButtons(&m_back, 1);
        CreateBackButton(m_back);
    }
    bool OnCommand(int id, int, HWND, INT_PTR& answer)
    {
        if (id != kBackId) return false;
        EndDialog(m_hWnd, 0);
        answer = TRUE;
        return true;
    }
    INT_PTR CloseResult() const { return 0; }

    COwnerButton m_back;
};

// A screen whose allocation always fails.
class CNoRoomDlg : public CScreenDlg<CNoRoomDlg> {
public:
    static constexpr int kTemplateId = 731;
    static constexpr int kTitleTextId = 0;
    static constexpr int kBackId = 424;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 0.0f;

    static void* operator new(std::size_t, const std::nothrow_t&) noexcept { return nullptr; }
    static void operator delete(void* p) noexcept { ::operator delete(p); }
};

class Screens : public qtest::DialogFixture {
protected:
    static constexpr const char16_t* kParamFile = u"\\SDMMC\\Autorun\\param.qav";
};

TEST_F(Screens, CommonMessagesAreAnsweredAsEachScreenStates)
{
    struct Answers {
        INT_PTR erase = -5, unhandled = -5, dialogColour = 0, staticColour = 0;
        int bkMode = 0;
    };
    auto probe = [](DLGPROC proc, Answers& a) {
        HWND dlg = FrontDialog();
        a.erase = proc(dlg, WM_ERASEBKGND, 0, 0);
        a.unhandled = proc(dlg, WM_USER + 77, 0, 0);
        a.dialogColour = proc(dlg, WM_CTLCOLORDLG, 0, 0);
        HDC dc = GetDC(dlg);
        SetBkMode(dc, OPAQUE);
        a.staticColour = proc(dlg, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), 0);
        a.bkMode = GetBkMode(dc);
        ReleaseDC(dlg, dc);
    };
    Answers plain, other;
    Then([&] {
        probe(CPlainDlg::StaticDlgProc, plain);
        SendMessageW(FrontDialog(), WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(RunScreen<CPlainDlg>(nullptr, owner));
    Then([&] {
        probe(COtherDlg::StaticDlgProc, other);
        SendMessageW(FrontDialog(), WM_CLOSE, 0, 0);
    });
    EXPECT_FALSE(RunScreen<COtherDlg>(nullptr, owner)) << "this screen ends a close with 0";

    const INT_PTR windowBrush = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
    EXPECT_EQ(plain.erase, 1);
    EXPECT_EQ(plain.unhandled, 1);
    EXPECT_EQ(other.erase, 0);
    EXPECT_EQ(other.unhandled, 0);
    for (const Answers* a : {&plain, &other}) {
        EXPECT_EQ(a->dialogColour, windowBrush);
        EXPECT_EQ(a->staticColour, windowBrush);
        EXPECT_EQ(a->bkMode, TRANSPARENT);
    }
}

TEST_F(Screens, BackButtonAndCloseBothEndTrueAfterTheCleanUp)
{
    auto* screen = new CPlainDlg;
    HWND back = nullptr;
    Then([&] {
        EXPECT_TRUE(screen->ready);
        back = screen->m_buttons[0].m_hWnd;
        RECT r;
        GetWindowRect(back, &r);
        MapWindowPoints(nullptr, FrontDialog(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, 435);
        EXPECT_EQ(r.top, 7);
        EXPECT_EQ(r.right - r.left, 36);
        TapWindow(back);
    });
    EXPECT_TRUE(screen->DoModal(nullptr, owner));
    Then([&] { SendMessageW(FrontDialog(), WM_CLOSE, 0, 0); });
    EXPECT_TRUE(screen->DoModal(nullptr, owner));
    EXPECT_TRUE(screen->closedByCleanUp) << "the screen's clean-up runs before its buttons go";
    EXPECT_EQ(screen->m_buttons[0].m_hWnd, nullptr);
    EXPECT_EQ(screen->m_buttons[1].m_hWnd, nullptr);
    EXPECT_EQ(screen->loads, 2);
    delete screen;

    // A screen that tells confirm from cancel: its back button gives false.
    Then([&] { TapWindow(GetDlgItem(FrontDialog(), 271)); });
    EXPECT_FALSE(RunScreen<COtherDlg>(nullptr, owner));
}

TEST_F(Screens, AMissingSettingsFileIsWrittenWithTheFactoryDefaults)
{
    ASSERT_FALSE(root.Exists(kParamFile));
    CPlainDlg* screen = new CPlainDlg;
    Then([] { SendMessageW(FrontDialog(), WM_CLOSE, 0, 0); });
    screen->DoModal(nullptr, owner);
    EXPECT_TRUE(root.Exists(kParamFile));
    EXPECT_EQ(root.ReadFile(kParamFile).size(), PARAM_BLOCK_SIZE);
    EXPECT_EQ(screen->m_params.deviceType, 1);
    EXPECT_EQ(std::memcmp(&screen->m_params, &screen->m_loadedParams, sizeof(ParamBlock)), 0);
    delete screen;

    // A stored block is taken as it is.
    std::string bytes = root.ReadFile(kParamFile);
    bytes[0] = 4;
    bytes[818] = 2;
    root.WriteFile(kParamFile, bytes);
    screen = new CPlainDlg;
    Then([] { SendMessageW(FrontDialog(), WM_CLOSE, 0, 0); });
    screen->DoModal(nullptr, owner);
    EXPECT_EQ(screen->m_params.deviceType, 4);
    EXPECT_EQ(screen->m_params.unitSystem, 2);
    delete screen;
}

TEST_F(Screens, AScreenThatOnlyReadsLeavesAMissingSettingsFileAloneAndPaintsItsOwnBackground)
{
    auto* screen = new COtherDlg;
    COLORREF separator = 0;
    Then([&] {
        qplat::ProcessPendingMessages();
        POINT p{0, 0};
        ClientToScreen(FrontDialog(), &p);
        separator = qplat::ScreenPixel(p.x + 200, p.y + 48);
        SendMessageW(FrontDialog(), WM_CLOSE, 0, 0);
    });
    screen->DoModal(nullptr, owner);
    EXPECT_FALSE(root.Exists(kParamFile));
    EXPECT_EQ(screen->m_params.deviceType, 0) << "the copy stays zeroed";
    EXPECT_EQ(separator, 0x00FF00u) << "no panel under the screen's own background";
    delete screen;
}

TEST_F(Screens, PaintingDrawsPanelTitleAndContentIntoTheScreen)
{
    Then([] {
        qplat::ProcessPendingMessages();
        HWND dlg = FrontDialog();
        POINT p{0, 0};
        RECT c;
        GetClientRect(dlg, &c);
        ClientToScreen(dlg, &p);
        EXPECT_EQ(qplat::ScreenPixel(p.x + 110, p.y + 110), 0x0000FFu) << "the screen's own content";
        EXPECT_EQ(qplat::ScreenPixel(p.x + 200, p.y + 48), 0x000000u) << "the separator under the title";
        EXPECT_EQ(qplat::ScreenPixel(p.x + 200, p.y + 44), 0xFFFFFFu);
        bool blue = false;
        for (int y = 10; y < 34 && !blue; ++y)
            for (int x = 0; x < c.right && !blue; ++x) blue = qplat::ScreenPixel(p.x + x, p.y + y) == 0xFF0000u;
        EXPECT_TRUE(blue) << "the blue title";
        SendMessageW(dlg, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(RunScreen<CPlainDlg>(nullptr, owner));
}

TEST_F(Screens, NestedScreensOfTwoClassesEachKeepTheirOwnCurrentScreen)
{
    CPlainDlg* outerSeen = nullptr;
    COtherDlg* innerSeen = nullptr;
    CPlainDlg* outerDuringInner = nullptr;
    HWND outerDialog = nullptr;
    Then([&] {
        outerDialog = FrontDialog();
        outerSeen = CPlainDlg::Current();
        Then([&] {
            innerSeen = COtherDlg::Current();
            outerDuringInner = CPlainDlg::Current();
            TapWindow(GetDlgItem(FrontDialog(), 271));
        });
        RunScreen<COtherDlg>(nullptr, outerDialog);
        EXPECT_EQ(COtherDlg::Current(), nullptr);
        EXPECT_EQ(CPlainDlg::Current(), outerSeen);
        // The outer screen still answers for its own object.
        TapWindow(GetDlgItem(outerDialog, 424));
    });
    EXPECT_TRUE(RunScreen<CPlainDlg>(nullptr, owner));
    EXPECT_NE(outerSeen, nullptr);
    EXPECT_NE(innerSeen, nullptr);
    EXPECT_EQ(outerDuringInner, outerSeen);
    EXPECT_EQ(CPlainDlg::Current(), nullptr);
}

TEST_F(Screens, ALateMessageAfterTheScreenEndedReachesNoObject)
{
    HWND dialog = nullptr;
    Then([&] {
        dialog = FrontDialog();
        SetTimer(dialog, 7, 10, nullptr);
        SendMessageW(dialog, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(RunScreen<CPlainDlg>(nullptr, owner));
    // The object is gone; a message that still names its window (a timer, an
    // owner-drawn item) must find nothing to call.
    DRAWITEMSTRUCT item{};
    EXPECT_EQ(CPlainDlg::StaticDlgProc(dialog, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item)), FALSE);
    EXPECT_EQ(CPlainDlg::StaticDlgProc(dialog, WM_TIMER, 7, 0), FALSE);
    qplat::ProcessPendingMessages();
}

TEST_F(Screens, PowerKeyAsksAndASecondQuestionIsRefused)
{
    qplat::ClearPowerStateRequests();
    bool stillOpen = false;
    Then([&] {
        HWND dlg = FrontDialog();
        // No: nothing happens.
        Then([] { TapWindow(GetDlgItem(FrontDialog(), 344)); });
        SendMessageW(dlg, WM_POWERKEY, 0, 0);
        EXPECT_TRUE(qplat::PowerStateRequests().empty());
        // A power key while the question is open goes to the question, which
        // does not ask again; its yes switches the device off.
        Then([&] {
            HWND box = FrontDialog();
            EXPECT_NE(box, dlg);
            qplat::PowerKey(WM_POWERKEY_SHELL);
            qplat::ProcessPendingMessages();
            EXPECT_EQ(FrontDialog(), box) << "no second question";
            TapWindow(GetDlgItem(box, 343));
        });
        SendMessageW(dlg, WM_POWERKEY_SHELL, 0, 0);
        EXPECT_EQ(qplat::PowerStateRequests().size(), 1u);
        // After waking the screen is where it was.
        stillOpen = IsWindow(dlg) && FrontDialog() == dlg;
        SendMessageW(dlg, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(RunScreen<CPlainDlg>(nullptr, owner));
    EXPECT_TRUE(stillOpen);
}

TEST_F(Screens, AFailedAllocationOpensNoScreen)
{
    EXPECT_FALSE(RunScreen<CNoRoomDlg>(nullptr, owner));
    EXPECT_EQ(CNoRoomDlg::Current(), nullptr);
    EXPECT_FALSE(root.Exists(kParamFile)) << "nothing of the screen ran";
}

}  // namespace
