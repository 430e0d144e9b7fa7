#include "scheme/ui/SchemeListDlg.h"

#include <cstring>
#include <iterator>
#include <string>

#include "platform/WinText.h"
#include "scheme/ui/NameList.h"
#include "scheme/ui/SchemeEditDlg.h"

namespace {

constexpr int kTextCurrentLabel = 40406;
constexpr int kTextFileColumn = 40407;
constexpr int kTextNotLoaded = 50053;
constexpr int kTextNew = 50105;
constexpr int kTextDelete = 50107;
constexpr int kTextMakeCurrent = 50108;
// The toggle's faces: what a press leads to.
constexpr int kShowDiagramFace = 557, kShowDiagramPressed = 558;
constexpr int kShowListFace = 555, kShowListPressed = 556;

}  // namespace

CSchemeListDlg::CSchemeListDlg() = default;

WCHAR* CSchemeListDlg::CurrentField()
{
    return m_params.deviceType == 4 ? m_params.qodSchemeName : m_params.qavSchemeName;
}

LPCWSTR CSchemeListDlg::SubFolder() const
{
    return m_params.deviceType == 4 ? u"Schemes_QOD\\" : u"Schemes\\";
}

int CSchemeListDlg::LoadScheme(const WCHAR* name)
{
    int items = 0, cars = 0, order = 0;
    std::memset(m_scheme.cars, 0, sizeof m_scheme.cars);
    m_schemeLoaded = m_schemeFile.Load(name, m_scheme.cars, &items, &cars, &order, m_params.deviceType);
    if (m_schemeLoaded) {
        m_scheme.orderCount = items;
        m_scheme.carCount = cars;
        m_scheme.orderType = order;
    } else {
        // What a failed parse left behind is no train to draw.
        std::memset(m_scheme.cars, 0, sizeof m_scheme.cars);
        m_scheme.orderCount = m_scheme.carCount = m_scheme.orderType = 0;
    }
    m_scheme.currentCar = 0;
    return m_schemeLoaded;
}

void CSchemeListDlg::OnInitDialog()
{
    AddButtons(m_buttons, 5);
    CreateBackButton(m_buttons[0]);
    m_buttons[1].Create(m_hWnd, m_hInstance, 20, 223, 141, 41, kNewId, 549, 550, 0);
    m_buttons[1].SetCaption(m_language.GetText(kTextNew), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
    m_buttons[2].Create(m_hWnd, m_hInstance, 172, 223, 141, 41, kDeleteId, 551, 552, 0);
    m_buttons[2].SetCaption(m_language.GetText(kTextDelete), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
    m_buttons[3].Create(m_hWnd, m_hInstance, 324, 223, 141, 41, kMakeCurrentId, 553, 554, 0);
    m_buttons[3].SetCaption(m_language.GetText(kTextMakeCurrent), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
    m_buttons[4].Create(m_hWnd, m_hInstance, 410, 55, 31, 31, kToggleId, kShowDiagramFace, kShowDiagramPressed, 0);

    ShowCurrent(kCurrentLabelId, kTextCurrentLabel, kCurrentEditId);
    SetUpList();
    m_listShown = 1;
    LoadScheme(CurrentName().c_str());
    CreateScrollBar();
}

void CSchemeListDlg::SetUpList()
{
    m_list.Create(m_hWnd, m_hInstance, kListId, DIAGRAM_X, DIAGRAM_Y, DIAGRAM_WIDTH, DIAGRAM_HEIGHT, TRUE, TRUE);
    m_list.SetFont(m_font);
    m_list.InsertColumn(0, m_language.GetText(kTextFileColumn), LVCFMT_LEFT, 190, 0);
    m_list.InsertColumn(1, m_language.GetText(kTextNameColumn), LVCFMT_RIGHT, 190, 1);
    m_list.InsertColumn(2, u"", LVCFMT_LEFT, 25, 2);
    FillList();
}

void CSchemeListDlg::FillList()
{
    m_schemeFile.List(m_params.deviceType);
    m_list.DeleteAllItems();
    const std::u16string current = CurrentName();
    for (int i = 0; i < m_schemeFile.GetCount(); ++i) {
        const SchemeListEntry* entry = m_schemeFile.GetEntry(i);
        if (!entry) break;
        AddRow(i, qplat::FieldText(entry->fileName, SCHEME_LIST_TEXT_CHARS),
               qplat::FieldText(entry->schemeName, SCHEME_LIST_TEXT_CHARS), current);
    }
}

void CSchemeListDlg::CreateScrollBar()
{
    m_scroll.Create(m_hWnd, m_hInstance);
    UpdateScrollRange();
}

void CSchemeListDlg::UpdateScrollRange()
{
    m_scroll.Update(CSchemeView::CarWidth(m_scheme.cars, m_scheme.currentCar), !m_listShown);
}

void CSchemeListDlg::OnNew()
{
    RunScreen<CSchemeEditDlg>(m_hInstance, m_hWnd);
    FillList();
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CSchemeListDlg::OnMadeCurrent()
{
    if (!LoadScheme(CurrentName().c_str())) ShowMessage(MESSAGE_FAILURE, kTextNotLoaded);
}

void CSchemeListDlg::OnToggle()
{
    m_listShown = m_listShown ? 0 : 1;
    if (m_listShown)
        m_buttons[4].SetBitmaps(kShowDiagramFace, kShowDiagramPressed, 0);
    else
        m_buttons[4].SetBitmaps(kShowListFace, kShowListPressed, 0);
    m_list.Show(m_listShown ? SW_SHOW : SW_HIDE);
    UpdateScrollRange();
    InvalidateRect(m_hWnd, nullptr, FALSE);
    InvalidateRect(m_buttons[4].m_hWnd, nullptr, FALSE);
}

bool CSchemeListDlg::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    switch (id) {
    case kNewId: OnNew(); break;
    case kDeleteId: OnDelete(); break;
    case kMakeCurrentId: OnMakeCurrent(); break;
    case kToggleId: OnToggle(); break;
    default: return false;
    }
    answer = TRUE;
    return true;
}

bool CSchemeListDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& answer)
{
    if (msg == WM_HSCROLL) {
        if (m_scroll.Scroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam))))
            InvalidateRect(m_hWnd, nullptr, FALSE);
        answer = kUnhandledAnswer;
        return true;
    }
    return msg == WM_NOTIFY && OnColumnClick(lParam, answer);
}

void CSchemeListDlg::PaintContent(HDC dc)
{
    if (m_listShown) return;
    if (!m_schemeLoaded) {
        // No scheme to show: the empty frame says so.
        Rectangle(dc, DIAGRAM_X, DIAGRAM_Y, DIAGRAM_X + DIAGRAM_WIDTH, DIAGRAM_Y + DIAGRAM_HEIGHT);
        return;
    }
    m_view.DrawCar(m_hWnd, dc, DIAGRAM_X, DIAGRAM_Y, DIAGRAM_WIDTH, DIAGRAM_HEIGHT, m_scroll.position, m_scheme.cars,
                   m_scheme.currentCar, m_scheme.carCount, m_params.deviceType == 3 ? -1 : m_scheme.orderType,
                   m_params.deviceType);
}
