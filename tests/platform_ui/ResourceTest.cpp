// The program's resources: bitmaps by id, dialog templates, strings.
#include <cstring>
#include <string>

#include "platform/WinUser.h"
#include "resources/ResourceIds.h"
#include "tests/platform_ui/GdiTestSupport.h"
#include "tests/support/Fields.h"

namespace {

// Reads one 16-bit word of a template.
WORD W(const uint8_t* p, size_t at)
{
    return static_cast<WORD>(p[at] | (p[at + 1] << 8));
}

}  // namespace

// Every bitmap's size and look: tests/ui/BitmapInventoryTest.cpp.

TEST(Resource, UnknownBitmapsAndNamesAreRefused)
{
    EXPECT_EQ(LoadImageW(nullptr, MAKEINTRESOURCEW(9999), IMAGE_BITMAP, 0, 0, 0), nullptr);
    EXPECT_EQ(LoadImageW(nullptr, u"BACK", IMAGE_BITMAP, 0, 0, 0), nullptr);
    EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCEW(536)), nullptr);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(173), RT_DIALOG), nullptr);
    // A size asked for stretches the picture.
    HBITMAP b = static_cast<HBITMAP>(LoadImageW(nullptr, MAKEINTRESOURCEW(173), IMAGE_BITMAP, 72, 18, 0));
    BITMAP bm{};
    ASSERT_EQ(GetObjectW(b, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(bm.bmWidth, 72);
    EXPECT_EQ(bm.bmHeight, 18);
    DeleteObject(b);
}

TEST(Resource, EveryLoadIsAFreshBitmap)
{
    HBITMAP a = LoadBitmapW(nullptr, MAKEINTRESOURCEW(173));
    HBITMAP b = LoadBitmapW(nullptr, MAKEINTRESOURCEW(173));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(a, b);
    qtest::Canvas c(36, 36);
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, a);
    PatBlt(mem, 0, 0, 36, 36, BLACKNESS);  // spoiling one copy leaves the other intact
    SelectObject(mem, b);
    BitBlt(c.dc, 0, 0, 36, 36, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    EXPECT_NE(c.At(18, 18), qtest::kBlack);
    EXPECT_GT(c.Ink(RECT{0, 0, 36, 36}), 100);
    DeleteObject(a);
    DeleteObject(b);
}

TEST(Resource, StringTable)
{
    WCHAR buf[32];
    EXPECT_EQ(LoadStringW(nullptr, IDS_APP_CLASS, buf, 32), 7);
    EXPECT_EQ(std::u16string(buf), u"QAV5_PA");
    EXPECT_EQ(LoadStringW(nullptr, IDS_APP_TITLE, buf, 32), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(LoadStringW(nullptr, IDS_APP_CLASS, buf, 4), 3);
    EXPECT_EQ(std::u16string(buf), u"QAV");
    WCHAR footer[200];
    int n = LoadStringW(nullptr, IDS_FOOTER, footer, 200);
    EXPECT_GT(n, 10);
    EXPECT_LE(n, 90);
    const WCHAR* direct = nullptr;
    EXPECT_EQ(LoadStringW(nullptr, IDS_APP_CLASS, reinterpret_cast<LPWSTR>(&direct), 0), 7);
    ASSERT_NE(direct, nullptr);
    EXPECT_EQ(std::u16string(direct, 7), u"QAV5_PA");
    EXPECT_EQ(LoadStringW(nullptr, 4242, buf, 32), 0);
}

TEST(Resource, DialogTemplatesAreInTheStoredLayout)
{
    for (int id : {111, 219, 228, 242, 247, 269, 270, 326, 346, 347, 469, 473, 474, 475, 478, 559, 563, 575, 590,
                   606, 655, 731, 732, 733}) {
        HRSRC r = FindResourceW(nullptr, MAKEINTRESOURCEW(id), RT_DIALOG);
        ASSERT_NE(r, nullptr) << id;
        EXPECT_GE(SizeofResource(nullptr, r), sizeof(DLGTEMPLATE)) << id;
    }
    HRSRC r = FindResourceW(nullptr, MAKEINTRESOURCEW(IDD_MESSAGE), RT_DIALOG);
    const auto* p = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, r)));
    ASSERT_NE(p, nullptr);
    const auto* t = reinterpret_cast<const DLGTEMPLATE*>(p);
    EXPECT_EQ(t->style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
    EXPECT_EQ(t->style & DS_SETFONT, static_cast<DWORD>(DS_SETFONT));
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(t->cdit, 1), FIELD_IS(t->cx, 150), FIELD_IS(t->cy, 63)));
    size_t at = sizeof(DLGTEMPLATE);
    EXPECT_EQ(W(p, at), 0);      // no menu
    EXPECT_EQ(W(p, at + 2), 0);  // standard class
    EXPECT_EQ(W(p, at + 4), 0);  // empty title
    EXPECT_EQ(W(p, at + 6), 11);  // point size
    std::u16string face;
    for (at += 8; W(p, at); at += 2) face.push_back(static_cast<char16_t>(W(p, at)));
    EXPECT_EQ(face, u"Calibri");
    at += 2;
    at = (at + 3) & ~static_cast<size_t>(3);
    const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p + at);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(item->id, 345), FIELD_IS(item->x, 32), FIELD_IS(item->cx, 109),
                                 FIELD_IS(W(p, at + sizeof(DLGITEMTEMPLATE)), 0xFFFF)));
    EXPECT_EQ(W(p, at + sizeof(DLGITEMTEMPLATE) + 2), 0x82);  // STATIC

    // The set-clock screen holds its ten fields and twelve step buttons.
    r = FindResourceW(nullptr, MAKEINTRESOURCEW(IDD_SET_CLOCK), RT_DIALOG);
    t = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(nullptr, r)));
    EXPECT_EQ(t->cdit, 22);
}

TEST(Resource, ProgramIconHasASize)
{
    HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(IDI_APP));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    // A square picture of the large icon size, drawn for that size (not the
    // corner logo reused).
    EXPECT_EQ(info.xHotspot, 16u);
    EXPECT_EQ(info.yHotspot, 16u);
    EXPECT_TRUE(DeleteObject(info.hbmColor));
    EXPECT_TRUE(DeleteObject(info.hbmMask));
    EXPECT_FALSE(GetIconInfo(reinterpret_cast<HICON>(static_cast<intptr_t>(32512)), &info));
}
