#include "sensor/ui/DlgFindBTD.h"

#include <cstring>
#include <iterator>
#include <string>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "sensor/LinkMonitor.h"
#include "sensor/ui/PairedSensors.h"
#include "ui/BusyAnimation.h"

const WCHAR* const g_btNamePrefixes[4] = {u"LX412", u"QUN", u"QEM", u"LX413"};

namespace {

constexpr int kTextNameColumn = 40209;
constexpr int kTextAddressColumn = 40210;
constexpr int kTextFound = 40212;
constexpr int kTextPressStart = 50035;
constexpr int kTextSearching = 50036;
constexpr int kTextFinished = 50037;
constexpr int kTextNothingFound = 50038;
constexpr int kTextNothingSelected = 50005;
constexpr int kTextStart = 50110;
constexpr int kTextAdd = 50104;
constexpr int kTextNotAdded = 50088;
constexpr int kTextFileNotRestored = 50089;
// The inquiry's result buffer and the longest name a query hands back.
constexpr DWORD kResultBytes = 5000;
constexpr unsigned kNameQueryChars = 256;
// The search screen reads at most 24 characters of a row's name.
constexpr int kRowNameChars = 25;
constexpr int kAddressDigits = 12;

}  // namespace

CDlgFindBTD::CDlgFindBTD() = default;

BOOL CDlgFindBTD::DoModal(HINSTANCE instance, HWND parent, CLinkMonitor* monitor)
{
    BeginModal(instance, parent);
    m_monitor = monitor;
    RunTemplate();
    return TRUE;
}

const WCHAR* CDlgFindBTD::SerialFromName(const WCHAR* name)
{
    static thread_local WCHAR serial[6];
    SerialFromSensorName(name, FIND_BTD_TEXT_CHARS, serial, std::size(serial));
    return serial;
}

const WCHAR* CDlgFindBTD::FormatAddress(const WCHAR* addressText)
{
    static thread_local WCHAR formatted[kAddressDigits * 3];
    WCHAR digits[kAddressDigits + 1];
    const size_t length = addressText ? wcsnlen(addressText, kAddressDigits) : 0;
    const size_t pad = kAddressDigits - length;
    for (size_t i = 0; i < kAddressDigits; ++i) digits[i] = i < pad ? u'0' : addressText[i - pad];
    digits[kAddressDigits] = 0;
    size_t out = 0;
    for (size_t i = 0; i < kAddressDigits; i += 2) {
        if (i > 0) formatted[out++] = u':';
        formatted[out++] = digits[i];
        formatted[out++] = digits[i + 1];
    }
    formatted[out] = 0;
    return formatted;
}

void CDlgFindBTD::AddressText(BT_ADDR address, WCHAR* text, size_t chars)
{
    const unsigned upper = static_cast<unsigned>((address >> 32) & 0xFFFFu);
    const unsigned lower = static_cast<unsigned>(address & 0xFFFFFFFFu);
    swprintf(text, chars, u"%x%08x", upper, lower);
}

void CDlgFindBTD::OnInitDialog()
{
    AddButtons(m_buttons, 3);
    CreateBackButton(m_buttons[0]);
    m_buttons[1].Create(m_hWnd, m_hInstance, 70, 223, 141, 41, kStartId, 175, 176, 177);
    m_buttons[1].SetCaption(m_language.GetText(kTextStart), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
    m_buttons[2].Create(m_hWnd, m_hInstance, 240, 223, 141, 41, kAddId, 210, 211, 212);
    m_buttons[2].SetCaption(m_language.GetText(kTextAdd), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
    m_buttons[2].Enable(FALSE);

    m_status.Attach(GetDlgItem(m_hWnd, kStatusId));
    m_status.SetFont(m_font);
    SetStatus(kTextPressStart);
    m_countText.Attach(GetDlgItem(m_hWnd, kCountId));
    m_countText.SetFont(m_font);

    m_list.Create(m_hWnd, m_hInstance, kListId, 10, 90, 450, 100, TRUE, TRUE);
    m_list.SetFont(m_font);
    m_list.InsertColumn(0, m_language.GetText(kTextNameColumn), LVCFMT_LEFT, 200, 0);
    m_list.InsertColumn(1, m_language.GetText(kTextAddressColumn), LVCFMT_RIGHT, 200, 1);
    RefreshFound();
}

void CDlgFindBTD::SetStatus(int textId)
{
    m_status.SetText(m_language.GetText(textId));
}

void CDlgFindBTD::RefreshFound()
{
    WCHAR count[PAINT_CAPTION_CHARS + 16];
    swprintf(count, std::size(count), u"%u %s", static_cast<unsigned>(m_foundCount), m_language.GetText(kTextFound));
    m_countText.SetText(count);
    m_list.DeleteAllItems();
    for (DWORD i = 0; i < m_foundCount; ++i) {
        const int row = m_list.InsertItem(static_cast<int>(i), m_found[i].name);
        m_list.SetItemText(row, 1, FormatAddress(m_found[i].address));
    }
}

void CDlgFindBTD::ReadRecords()
{
    m_records = ReadPairedSensors(m_deviceFile);
}

int CDlgFindBTD::Search()
{
    ReloadSettings();
    ReadRecords();
    return Inquiry();
}

bool CDlgFindBTD::MatchesDeviceType(const WCHAR* name) const
{
    const int type = m_params.deviceType >= 1 && m_params.deviceType <= 4 ? m_params.deviceType : 1;
    const WCHAR* word = g_btNamePrefixes[type - 1];
    size_t span = 0;
    while (name[span] && wcschr(word, name[span])) ++span;
    return span > 1;
}

bool CDlgFindBTD::AcceptDevice(const WCHAR* name, BT_ADDR address)
{
    if (m_foundCount >= FIND_BTD_MAX_FOUND) return false;
    FoundDevice& found = m_found[m_foundCount];
    qplat::CopyField(found.name, FIND_BTD_TEXT_CHARS, name);
    AddressText(address, found.address, FIND_BTD_TEXT_CHARS);
    m_addresses[m_foundCount] = address;
    ++m_foundCount;
    RefreshFound();
    return true;
}

int CDlgFindBTD::Inquiry()
{
    WSAQUERYSET query;
    std::memset(&query, 0, sizeof query);
    query.dwSize = sizeof query;
    query.dwNameSpace = NS_BTH;
    HANDLE lookup = nullptr;
    if (BthNsLookupServiceBegin(&query, LUP_CONTAINERS, &lookup) != ERROR_SUCCESS) return -1;

    alignas(8) BYTE buffer[kResultBytes];
    m_failedNameQueries = 0;
    const int failuresAllowed = static_cast<int>(m_nameBudgetMs / FIND_BTD_NAME_PAUSE_MS);
    // Once the budget is spent the devices not yet named are left out.
    while (m_failedNameQueries < failuresAllowed) {
        std::memset(buffer, 0, sizeof buffer);
        auto* result = reinterpret_cast<WSAQUERYSET*>(buffer);
        result->dwSize = sizeof(WSAQUERYSET);
        result->dwNameSpace = NS_BTH;
        DWORD length = kResultBytes;
        if (BthNsLookupServiceNext(lookup, LUP_RETURN_NAME | LUP_RETURN_ADDR, &length, result) != ERROR_SUCCESS) break;
        if (result->dwNumberOfCsAddrs != 1 || !result->lpcsaBuffer || !result->lpcsaBuffer->RemoteAddr.lpSockaddr)
            continue;
        BT_ADDR address = reinterpret_cast<const SOCKADDR_BTH*>(result->lpcsaBuffer->RemoteAddr.lpSockaddr)->btAddr;

        // The device may need a moment before it tells its name. One that does
        // not answer in time, or whose query keeps failing, is left out; the
        // others are still looked at while the search's budget lasts.
        WCHAR name[kNameQueryChars] = {};
        bool named = false;
        for (int attempt = 0; attempt < FIND_BTD_NAME_TRIES && m_failedNameQueries < failuresAllowed; ++attempt) {
            Sleep(FIND_BTD_NAME_PAUSE_MS);
            std::memset(name, 0, sizeof name);
            unsigned required = 0;
            const int answer = BthRemoteNameQuery(&address, kNameQueryChars, &required, name);
            if (answer == ERROR_SUCCESS || answer == ERROR_CALL_NOT_IMPLEMENTED) {
                named = true;
                break;
            }
            ++m_failedNameQueries;
            if (answer == ERROR_TIMEOUT) break;
        }
        name[kNameQueryChars - 1] = 0;
        if (!named || !MatchesDeviceType(name)) continue;
        // A full list takes no more: the lookup is still ended below.
        if (!AcceptDevice(name, address)) break;
    }
    BthNsLookupServiceEnd(lookup);
    return m_foundCount != 0 ? 1 : 0;
}

const WCHAR* CDlgFindBTD::GetRowName(int row)
{
    m_list.GetItemText(row, 0, m_rowText, kRowNameChars);
    return m_rowText;
}

const WCHAR* CDlgFindBTD::GetRowAddress(int row)
{
    WCHAR formatted[FIND_BTD_TEXT_CHARS] = {};
    m_list.GetItemText(row, 1, formatted, FIND_BTD_TEXT_CHARS);
    size_t out = 0;
    for (size_t i = 0; formatted[i] && out < kAddressDigits; ++i)
        if (formatted[i] != u':') m_rowText[out++] = formatted[i];
    m_rowText[out] = 0;
    return m_rowText;
}

int CDlgFindBTD::AddFoundDevice(int row)
{
    // Names are kept as the record's field holds them: 11 characters.
    WCHAR name[std::size(BTDeviceRecord{}.name)];
    qplat::CopyField(name, std::size(name), GetRowName(row));
    for (const BTDeviceRecord& record : m_records)
        if (qplat::FieldText(record.name, std::size(record.name)) == name) return 1;
    if (row < 0 || static_cast<DWORD>(row) >= m_foundCount) return 0;
    std::memset(&m_record, 0, sizeof m_record);
    m_record.deviceType = m_params.deviceType;
    qplat::CopyField(m_record.name, std::size(m_record.name), name);
    // The rows are the found devices in the order they were found.
    qplat::CopyField(m_record.address, std::size(m_record.address), m_found[row].address);
    qplat::CopyField(m_record.serial, std::size(m_record.serial), SerialFromName(name));
    if (!m_deviceFile.Append(&m_record)) return 0;
    m_records.push_back(m_record);
    return 1;
}

void CDlgFindBTD::OnAdd()
{
    const int row = m_list.GetSelected();
    if (row < 0) {
        ShowMessage(MESSAGE_NOTICE, kTextNothingSelected);
        return;
    }
    ParamBTRecord* sensor = SensorRecordOf(&m_params, m_params.deviceType);
    if (!sensor) return;
    const ParamBlock before = m_params;
    qplat::CopyField(sensor->name, std::size(sensor->name), GetRowName(row));
    qplat::CopyField(sensor->pin, std::size(sensor->pin), SerialFromName(sensor->name));
    qplat::CopyField(sensor->address, std::size(sensor->address), GetRowAddress(row));
    const size_t known = m_records.size();
    if (!AddFoundDevice(row)) {
        m_params = before;
        ShowMessage(MESSAGE_FAILURE, SCREEN_SAVE_FAILED);
        return;
    }
    if (!StoreSettings()) {
        // Not current, so not paired either: the record just added goes again.
        m_params = before;
        ShowMessage(MESSAGE_FAILURE, kTextNotAdded);
        if (m_records.size() > known) {
            if (m_deviceFile.RemoveLast(&m_records.back()))
                m_records.pop_back();
            else
                ShowMessage(MESSAGE_FAILURE, kTextFileNotRestored);
        }
        return;
    }
    EndDialog(m_hWnd, 1);
}

bool CDlgFindBTD::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    answer = TRUE;
    switch (id) {
    case kStartId:
        m_buttons[2].Enable(FALSE);
        m_buttons[1].Enable(FALSE);
        m_foundCount = 0;
        RefreshFound();
        SetStatus(kTextSearching);
        // The screen shows the new state before the search holds it up.
        SetTimer(m_hWnd, kSearchTimer, 100, nullptr);
        return true;
    case kAddId: OnAdd(); return true;
    default: return false;
    }
}

void CDlgFindBTD::OnTimer(UINT_PTR id)
{
    if (id != kSearchTimer) return;
    KillTimer(m_hWnd, kSearchTimer);
    RECT list{};
    GetClientRect(m_list.m_hWnd, &list);
    StartBusyAnimation(m_hInstance, m_list.m_hWnd, (list.right - 40) / 2, (list.bottom - 40) / 2);
    // The inquiry needs the radio to itself: the link is dropped, and the
    // monitor starts again when the settings menu closes.
    if (m_monitor) {
        m_monitor->Stop();
        m_monitor->ClosePort();
    }
    const int result = Search();
    SetStatus(result > 0 ? kTextFinished : kTextNothingFound);
    m_buttons[2].Enable(result > 0 ? TRUE : FALSE);
    m_buttons[1].Enable(TRUE);
    StopBusyAnimation();
}
