#include "sensor/ui/BTDeviceListDlg.h"

#include <iterator>

#include "platform/WinText.h"
#include "sensor/LinkMonitor.h"
#include "sensor/ui/DlgFindBTD.h"
#include "sensor/ui/PairedSensors.h"

namespace {

constexpr int kTextSensorColumn = 40208;
constexpr int kTextTypeFrame = 40207;
constexpr int kTextSearch = 50105;
constexpr int kTextDelete = 50107;
constexpr int kTextSelect = 50108;
constexpr int kTextNothingSelected = 50005;
constexpr int kTextCurrentNotDeleted = 50042;
constexpr int kTextDeleteQuestion = 50043;
constexpr int kRadioTextIds[4] = {40204, 40205, 40206, 40221};
constexpr int kRadioY[4] = {80, 110, 140, 170};
// The choices take the frame's inner width, so that the longer device names
// of other languages are not cut.
constexpr int kRadioX = 30, kRadioWidth = 78;
#define CURRENT_MARK u"\u2022"
// The frame around the device-type radios: it reaches below the fourth.
constexpr int kFrameX = 15, kFrameY = 65, kFrameWidth = 95, kFrameHeight = 130;

}  // namespace

CBTDeviceListDlg::CBTDeviceListDlg() = default;

BOOL CBTDeviceListDlg::DoModal(HINSTANCE instance, HWND parent, CLinkMonitor* monitor)
{
    BeginModal(instance, parent);
    m_monitor = monitor;
    // What was current when the screen opened, also when the screen is left
    // without ever being shown.
    m_openName = GetCurrentName();
    m_openType = m_params.deviceType;
    RunTemplate();
    return CurrentSensorChanged() ? TRUE : FALSE;
}

void CBTDeviceListDlg::OnLoadSettings()
{
    ReadRecords();
}

int CBTDeviceListDlg::ChosenType() const
{
    return m_params.deviceType >= 1 && m_params.deviceType <= 4 ? m_params.deviceType : 1;
}

std::u16string CBTDeviceListDlg::GetCurrentName() const
{
    const ParamBTRecord* sensor = SensorRecordOf(&m_params, ChosenType());
    return qplat::FieldText(sensor->name, std::size(sensor->name));
}

bool CBTDeviceListDlg::CurrentSensorChanged() const
{
    return GetCurrentName() != m_openName || m_params.deviceType != m_openType;
}

void CBTDeviceListDlg::ReadRecords()
{
    // Always at the file's present size: the search screen may have added one.
    m_records = ReadPairedSensors(m_deviceFile);
}

void CBTDeviceListDlg::OnInitDialog()
{
    AddButtons(m_buttons, 4);
    AddButtons(m_radios, 4);
    CreateBackButton(m_buttons[0]);
    m_buttons[1].Create(m_hWnd, m_hInstance, 20, 223, 141, 41, kSearchId, 376, 377, 378);
    m_buttons[1].SetCaption(m_language.GetText(kTextSearch), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
    m_buttons[2].Create(m_hWnd, m_hInstance, 172, 223, 141, 41, kDeleteId, 382, 383, 384);
    m_buttons[2].SetCaption(m_language.GetText(kTextDelete), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
    m_buttons[3].Create(m_hWnd, m_hInstance, 324, 223, 141, 41, kSelectId, 385, 386, 387);
    m_buttons[3].SetCaption(m_language.GetText(kTextSelect), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
    EnableDelete();

    m_list.Create(m_hWnd, m_hInstance, kListId, 180, 60, 250, 145, TRUE, TRUE);
    m_list.SetFont(m_font);
    m_list.InsertColumn(0, m_language.GetText(kTextSensorColumn), LVCFMT_LEFT, 200, 0);
    m_list.InsertColumn(1, u"", LVCFMT_LEFT, 25, 1);
    RefreshList();

    for (int i = 0; i < 4; ++i) {
        m_radios[i].CreateCheck(m_hWnd, m_hInstance, m_language.GetText(kRadioTextIds[i]), kRadioX, kRadioY[i], kRadioWidth, 20,
                                kFirstRadioId + i);
        m_radios[i].SetFont(m_font);
    }
    CheckRadioButton(m_hWnd, kFirstRadioId, kFirstRadioId + 3, kFirstRadioId + ChosenType() - 1);
}

void CBTDeviceListDlg::EnableDelete()
{
    m_buttons[2].Enable(m_records.empty() ? FALSE : TRUE);
}

void CBTDeviceListDlg::RefreshList()
{
    ReadRecords();
    m_list.DeleteAllItems();
    const std::u16string current = GetCurrentName();
    int currentRow = -1;
    for (const BTDeviceRecord& record : m_records) {
        if (record.deviceType != static_cast<DWORD>(m_params.deviceType)) continue;
        const std::u16string name = qplat::FieldText(record.name, std::size(record.name));
        const int row = m_list.InsertItem(m_list.GetItemCount(), name.c_str());
        const bool isCurrent = !current.empty() && name == current;
        m_list.SetItemText(row, 1, isCurrent ? CURRENT_MARK : u"");
        if (isCurrent && currentRow < 0) currentRow = row;
    }
    // The mark's column fills the rest of the row, so that the highlight and
    // the grid lines end at the list's frame (or its scroll strip) rather than
    // before an empty stretch.
    m_list.SetColumnWidth(1, LVSCW_AUTOSIZE_USEHEADER);
    if (m_list.GetItemCount() > 0) m_list.SelectItem(currentRow >= 0 ? currentRow : 0);
}

const WCHAR* CBTDeviceListDlg::SelectedName()
{
    const int row = m_list.GetSelected();
    if (row < 0) return nullptr;
    m_list.GetItemText(row, 0, m_rowName, BT_LIST_ROW_CHARS);
    return m_rowName;
}

int CBTDeviceListDlg::DeleteRecord(const WCHAR* name)
{
    std::vector<BTDeviceRecord> kept;
    for (const BTDeviceRecord& record : m_records)
        if (qplat::FieldText(record.name, std::size(record.name)) != name) kept.push_back(record);
    // The file takes an array even when nothing is left to write; it is
    // written only while it holds what the list was read from.
    const BTDeviceRecord none{};
    if (!m_deviceFile.WriteAll(kept.empty() ? &none : kept.data(), static_cast<int>(kept.size()),
                               m_records.empty() ? &none : m_records.data(), static_cast<int>(m_records.size()))) {
        if (m_deviceFile.LastRefusal() != CFixedRecordFile::Refusal::RecordChanged) return SCREEN_SAVE_FAILED;
        // Another card, or a PC's change: the list shows what the card holds.
        RefreshList();
        return SCREEN_CARD_CHANGED;
    }
    RefreshList();
    return 0;
}

int CBTDeviceListDlg::SelectRecord(const WCHAR* name)
{
    const ParamBlock before = m_params;
    ParamBTRecord* sensor = SensorRecordOf(&m_params, ChosenType());
    for (const BTDeviceRecord& record : m_records) {
        if (qplat::FieldText(record.name, std::size(record.name)) != name) continue;
        qplat::CopyField(sensor->name, std::size(sensor->name), qplat::FieldText(record.name, std::size(record.name)).c_str());
        qplat::CopyField(sensor->pin, std::size(sensor->pin),
                         qplat::FieldText(record.serial, std::size(record.serial)).c_str());
        qplat::CopyField(sensor->address, std::size(sensor->address),
                         qplat::FieldText(record.address, std::size(record.address)).c_str());
        break;
    }
    if (!SaveSettings()) {
        m_params = before;
        return 0;
    }
    RefreshList();
    return 1;
}

void CBTDeviceListDlg::OnRadio(int deviceType)
{
    const BYTE before = m_params.deviceType;
    m_params.deviceType = static_cast<BYTE>(deviceType);
    // The device type of the whole program changes here, at once.
    if (!SaveSettings()) m_params.deviceType = before;
    CheckRadioButton(m_hWnd, kFirstRadioId, kFirstRadioId + 3, kFirstRadioId + ChosenType() - 1);
    RefreshList();
}

void CBTDeviceListDlg::OnSearch()
{
    RunScreen<CDlgFindBTD>(m_hInstance, m_hWnd, m_monitor);
    ReloadSettings();
    RefreshList();
    EnableDelete();
}

void CBTDeviceListDlg::OnDelete()
{
    const WCHAR* name = SelectedName();
    if (!name) {
        ShowMessage(MESSAGE_NOTICE, kTextNothingSelected);
        return;
    }
    // No current sensor (an empty name) keeps no record from deletion.
    if (!GetCurrentName().empty() && GetCurrentName() == name) {
        ShowMessage(MESSAGE_NOTICE, kTextCurrentNotDeleted);
        return;
    }
    if (ShowMessage(MESSAGE_QUESTION, kTextDeleteQuestion) != 1) return;
    const std::u16string chosen = name;
    if (const int told = DeleteRecord(chosen.c_str())) ShowMessage(MESSAGE_FAILURE, told);
    EnableDelete();
}

void CBTDeviceListDlg::OnSelect()
{
    const WCHAR* name = SelectedName();
    if (!name) {
        ShowMessage(MESSAGE_NOTICE, kTextNothingSelected);
        return;
    }
    const std::u16string chosen = name;
    SelectRecord(chosen.c_str());
}

bool CBTDeviceListDlg::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    answer = TRUE;
    if (id >= kFirstRadioId && id < kFirstRadioId + 4) {
        OnRadio(id - kFirstRadioId + 1);
        return true;
    }
    switch (id) {
    case kSearchId: OnSearch(); return true;
    case kDeleteId: OnDelete(); return true;
    case kSelectId: OnSelect(); return true;
    default: return false;
    }
}

void CBTDeviceListDlg::PaintContent(HDC dc)
{
    WCHAR caption[PAINT_CAPTION_CHARS + 1];
    qplat::CopyField(caption, std::size(caption), m_language.GetText(kTextTypeFrame));
    m_paint.DrawRoundFrame(m_hWnd, dc, kFrameX, kFrameY, kFrameWidth, kFrameHeight, caption, 0xFFFFFF, 12, 1);
}
