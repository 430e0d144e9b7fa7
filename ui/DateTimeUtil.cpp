#include "ui/DateTimeUtil.h"

#include "platform/WinGdi.h"
#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/DeviceSetup.h"
#include "ui/BufferedDC.h"
#include "ui/ModalDialog.h"

WCHAR CDateTimeUtil::s_date[16];
WCHAR CDateTimeUtil::s_time[16];
WCHAR CDateTimeUtil::s_number[16];
CDateTimeUtil g_dateTimeUtil;
CDateTimeDlg* g_dateTimeDlg = nullptr;

WCHAR* CDateTimeUtil::TwoDigits(const WCHAR* text)
{
    if (!text) text = u"";
    size_t n = wcslen(text);
    if (n == 1) {
        s_number[0] = u'0';
        s_number[1] = text[0];
        s_number[2] = 0;
    } else if (n == 4) {
        s_number[0] = text[2];
        s_number[1] = text[3];
        s_number[2] = 0;
    } else {
        qplat::CopyField(s_number, 16, text);
    }
    return s_number;
}

WCHAR* CDateTimeUtil::TwoDigits(int number)
{
    WCHAR digits[16];
    swprintf(digits, 16, u"%d", number);
    return TwoDigits(digits);
}

WCHAR* CDateTimeUtil::FormatDate(const SYSTEMTIME& time)
{
    WCHAR day[16], month[16];
    qplat::CopyField(day, 16, TwoDigits(time.wDay));
    qplat::CopyField(month, 16, TwoDigits(time.wMonth));
    swprintf(s_date, 16, u"%s/%s/%s", day, month, TwoDigits(time.wYear));
    return s_date;
}

WCHAR* CDateTimeUtil::FormatTime(const SYSTEMTIME& time)
{
    WCHAR hour[16], minute[16];
    qplat::CopyField(hour, 16, TwoDigits(time.wHour));
    qplat::CopyField(minute, 16, TwoDigits(time.wMinute));
    swprintf(s_time, 16, u"%s:%s:%s", hour, minute, TwoDigits(time.wSecond));
    return s_time;
}

void CDateTimeUtil::SetPickerToNow(HWND picker)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&now));
}

int CDateTimeUtil::DaysInMonth(int year, int month)
{
    switch (month) {
    case 4:
    case 6:
    case 9:
    case 11: return 30;
    case 2: return ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0) ? 29 : 28;
    default: return 31;
    }
}

// ---------------------------------------------------------------- set-clock screen

namespace {

constexpr int kDialogId = 269;
constexpr int kClose = 186;
constexpr int kSet = 187;
constexpr int kFirstStep = 188;
constexpr int kLastStep = 199;
constexpr int kTitleText = 40213;
constexpr int kSetText = 50104;
constexpr int kPowerQuestion = 50021;
constexpr int kNotKeptText = 50096;
constexpr int kYearMin = 2010, kYearMax = 2050;

}  // namespace

CDateTimeDlg::CDateTimeDlg() : m_hInstance(nullptr), m_hParent(nullptr), m_time{}, m_repeatCommand(0) {}

CDateTimeDlg::~CDateTimeDlg() = default;

int CDateTimeDlg::DoModal(HINSTANCE instance, HWND parent)
{
    m_hInstance = instance;
    m_hParent = parent;
    g_dateTimeDlg = this;
    m_language.Load();
    INT_PTR end = 0;
    if (!RunDialogTemplate(instance, kDialogId, parent, StaticDlgProc, end)) return 0;
    DestroyButtons();
    m_hDlg = nullptr;
    return DialogAnswered(end);
}

INT_PTR CALLBACK CDateTimeDlg::StaticDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return RouteDialogMessage(g_dateTimeDlg, hwnd, msg, wParam, lParam);
}

int CDateTimeDlg::StepField(int value, int minimum, int maximum, LPCWSTR direction, int step)
{
    if (direction && wcscmp(direction, u"UP") == 0) return value < maximum ? value + step : minimum;
    return value > minimum ? value - step : maximum;
}

void CDateTimeDlg::ShowFields()
{
    WCHAR year[16];
    swprintf(year, 16, u"%d", m_time.wYear);
    SetDlgItemTextW(m_hDlg, 200, year);
    SetDlgItemTextW(m_hDlg, 201, m_util.TwoDigits(m_time.wMonth));
    SetDlgItemTextW(m_hDlg, 205, m_util.TwoDigits(m_time.wDay));
    SetDlgItemTextW(m_hDlg, 202, m_util.TwoDigits(m_time.wHour));
    SetDlgItemTextW(m_hDlg, 203, m_util.TwoDigits(m_time.wMinute));
    SetDlgItemTextW(m_hDlg, 204, m_util.TwoDigits(m_time.wSecond));
    SetDlgItemTextW(m_hDlg, 206, u"-");
    SetDlgItemTextW(m_hDlg, 207, u"-");
    SetDlgItemTextW(m_hDlg, 208, u":");
    SetDlgItemTextW(m_hDlg, 209, u":");
}

void CDateTimeDlg::DestroyButtons()
{
    for (COwnerButton& b : m_steps)
        if (b.m_hWnd) b.Destroy();
    if (m_close.m_hWnd) m_close.Destroy();
    if (m_set.m_hWnd) m_set.Destroy();
}

void CDateTimeDlg::Step(int command)
{
    auto step = [](WORD& field, int lo, int hi, bool up) {
        field = static_cast<WORD>(StepField(field, lo, hi, up ? u"UP" : u"DOWN", 1));
    };
    bool up = (command - kFirstStep) % 2 == 1;
    SYSTEMTIME& t = m_time;
    switch ((command - kFirstStep) / 2) {
    case 0: step(t.wYear, kYearMin, kYearMax, up); break;
    case 1: step(t.wMonth, 1, 12, up); break;
    case 2: step(t.wDay, 1, m_util.DaysInMonth(t.wYear, t.wMonth), up); break;
    case 3: step(t.wHour, 0, 23, up); break;
    case 4: step(t.wMinute, 0, 59, up); break;
    default: step(t.wSecond, 0, 59, up); break;
    }
    // A day the new month or year does not have becomes its last day.
    int days = m_util.DaysInMonth(t.wYear, t.wMonth);
    if (t.wDay > days) t.wDay = static_cast<WORD>(days);
    ShowFields();
}

INT_PTR CDateTimeDlg::DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        m_hDlg = hwnd;
        GetLocalTime(&m_time);
        ShowFields();
        for (int id = kFirstStep; id <= kLastStep; ++id) {
            bool upButton = id % 2 == 1;
            m_steps[id - kFirstStep].Attach(hwnd, m_hInstance, id, upButton ? 215 : 213, upButton ? 216 : 214, 0);
        }
        m_close.Create(hwnd, m_hInstance, 435, 7, 36, 36, kClose, 173, 174, 0);
        m_set.Create(hwnd, m_hInstance, 170, 223, 141, 41, kSet, 210, 210, 0);
        m_set.SetCaption(m_language.GetText(kSetText), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
        for (bool& p : m_stepPressed) p = false;
        return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id == kClose) {
            DestroyButtons();
            EndDialog(hwnd, WM_COMMAND);
            return TRUE;
        }
        if (id == kSet) {
            // A clock that cannot keep the time (its file on the card cannot
            // be written) is told: the date shown was not set.
            if (!SetLocalTime(&m_time))
                m_messageDlg.Show(m_hInstance, hwnd, MESSAGE_FAILURE, m_language.GetText(kNotKeptText));
            DestroyButtons();
            EndDialog(hwnd, WM_COMMAND);
            return TRUE;
        }
        if (id >= kFirstStep && id <= kLastStep) {
            Step(id);
            return TRUE;
        }
        return FALSE;
    }
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (!item) return FALSE;
        for (int i = 0; i < 12; ++i) {
            COwnerButton& b = m_steps[i];
            if (b.m_hWnd != item->hwndItem) continue;
            b.DrawItem(item);
            bool pressed = (item->itemState & ODS_SELECTED) != 0;
            if ((item->itemAction & ODA_SELECT) || pressed != m_stepPressed[i]) m_repeatCommand = b.m_id;
            m_stepPressed[i] = pressed;
        }
        if (m_close.m_hWnd == item->hwndItem) m_close.DrawItem(item);
        if (m_set.m_hWnd == item->hwndItem) m_set.DrawItem(item);
        return TRUE;
    }
    case WM_TIMER: {
        if (wParam != OWNER_BUTTON_TIMER) return FALSE;
        // Only a step button still held repeats: holding Set or close (which
        // arm the same timer) steps nothing.
        HWND held = GetDlgItem(hwnd, m_repeatCommand);
        bool stepHeld = m_repeatCommand >= kFirstStep && m_repeatCommand <= kLastStep && held &&
                        (SendMessageW(held, BM_GETSTATE, 0, 0) & BST_PUSHED);
        if (!stepHeld) {
            KillTimer(hwnd, OWNER_BUTTON_TIMER);
            return TRUE;
        }
        SetTimer(hwnd, OWNER_BUTTON_TIMER, DATETIME_REPEAT_MS, nullptr);
        SendMessageW(hwnd, WM_COMMAND, static_cast<WPARAM>(m_repeatCommand), 0);
        return TRUE;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        auto* dc = new CBufferedDC(hdc, client);
        m_paint.DrawPanel(hwnd, dc->m_hDC, 2.5f);
        m_paint.DrawBitmapTopLeft(m_hInstance, dc->m_hDC);
        m_paint.DrawCaption(hwnd, dc->m_hDC, 0, 10, client.right, m_language.GetText(kTitleText), 20, 7, 0xFF0000,
                            TRUE, FALSE, 0);
        delete dc;
        EndPaint(hwnd, &ps);
        return TRUE;
    }
    case WM_ERASEBKGND: return 0;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG: return ScreenColourBrush(msg, wParam);
    case WM_CLOSE:
        DestroyButtons();
        EndDialog(hwnd, WM_CLOSE);
        return TRUE;
    case WM_POWERKEY:
    case WM_POWERKEY_SHELL:
        if (m_messageDlg.Show(m_hInstance, hwnd, MESSAGE_QUESTION, m_language.GetText(kPowerQuestion)) == 1)
            PowerOffDevice();
        return TRUE;
    default: return FALSE;
    }
}
