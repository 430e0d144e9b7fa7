// What the reference-profile list and the scheme list share: a list of files
// with a name each, one of which the settings block names as the current one
// (a bullet in column 2 and the name in an edit above the list); the selected
// row is made current or its file deleted, and the name column sorts when its
// header is tapped.
//
// A screen derives from CNameListDlg<Screen> and states, besides the screen
// pattern's traits:
//   kTextNothingSelected, kTextCurrentNotDeleted, kTextDeleteQuestion,
//   kTextNameColumn       its texts
//   kTextNameTooLong      the refusal of a row name longer than the
//                         settings field holds (0: such a name is cut)
//   WCHAR* CurrentField() the settings field that names the current one
//   LPCWSTR SubFolder()   the device type's folder below the program folder
//   FillList()            lists the folder's files as the card holds them
//   ListedFile ListedOf(fileName)  a listed file as the listing showed it
//   OnMadeCurrent()       what follows a name made current (default: nothing)
#pragma once

#include <cstring>
#include <iterator>
#include <string>

#include "platform/WinCtrl.h"
#include "platform/WinDef.h"
#include "platform/WinText.h"
#include "settings/ParamFile.h"
#include "settings/ProgramFolder.h"
#include "ui/ControlWrappers.h"
#include "ui/ScreenDlg.h"

// The current-item mark.
#define NAME_LIST_BULLET u"\u2022"
constexpr int NAME_LIST_MARK_COLUMN = 2;
constexpr int NAME_LIST_NAME_COLUMN = 1;
// A row hands out at most this many characters of its file name.
constexpr int NAME_LIST_FILE_CHARS = 200;
// The row's file could not be deleted.
constexpr int NAME_LIST_NOT_DELETED = 50117;

// Sorts the rows by the name column (ascending when `ascending` is set), shows
// the direction after the header caption (six blanks and ">" or "<") and
// turns the direction round for the next tap.
void SortNameList(CListViewCtl& list, BYTE& ascending, LPCWSTR caption);
// Deletes `fileName` (a bare name with its extension, as the folder search
// reported it) from `folder`, only while it is the file the list showed
// (`listed`); a name that is not a bare file name is never turned into a
// path. 0 when the file was deleted, else the text to tell:
// SCREEN_NOT_CONFIRMED when it was, but the card did not confirm it;
// SCREEN_ALREADY_GONE when the card no longer holds it; SCREEN_CARD_CHANGED
// when another file of that name is there now (kept, and the list is read
// again); NAME_LIST_NOT_DELETED when it could not be deleted. `gone` tells
// whether the card no longer holds the file.
int DeleteListedFile(LPCWSTR folder, LPCWSTR fileName, const ListedFile& listed, bool& gone);

template <class Screen>
class CNameListDlg : public CScreenDlg<Screen> {
public:
    BYTE m_sortAscending = 1;
    CListViewCtl m_list;
    CStaticTextCtl m_label;
    CEditCtl m_currentEdit;
    WCHAR m_folderPath[PROGRAM_FOLDER_CHARS] = {};

    void OnLoadSettings() { qplat::CopyField(m_folderPath, PROGRAM_FOLDER_CHARS, this->m_folder.GetPath()); }

    std::u16string CurrentName() { return qplat::FieldText(Self().CurrentField(), PARAM_NAME_CHARS); }

    // Whether the row is the current one. An empty current name names none:
    // a file whose name is empty is then neither marked nor kept from deletion.
    bool IsCurrentName(const std::u16string& name)
    {
        const std::u16string current = CurrentName();
        return !current.empty() && name == current;
    }

    // Takes over the template's label and edit: the label's text, and the
    // current name in the edit. The current name changes only through make
    // current: the field shows it and takes no typing.
    void ShowCurrent(int labelId, int labelTextId, int editId)
    {
        m_label.Attach(GetDlgItem(this->m_hWnd, labelId));
        m_label.SetFont(this->m_font);
        m_label.SetText(this->m_language.GetText(labelTextId));
        m_currentEdit.Attach(GetDlgItem(this->m_hWnd, editId));
        m_currentEdit.SetFont(this->m_font);
        m_currentEdit.SetText(CurrentName().c_str());
        SendMessageW(m_currentEdit.m_hWnd, EM_SETREADONLY, TRUE, 0);
    }

    // A row of a file and its name, marked when the name is the current one.
    void AddRow(int index, const std::u16string& fileName, const std::u16string& name, const std::u16string& current)
    {
        const int row = m_list.InsertItem(index, fileName.c_str());
        m_list.SetItemText(row, NAME_LIST_NAME_COLUMN, name.c_str());
        if (!current.empty() && name == current) m_list.SetItemText(row, NAME_LIST_MARK_COLUMN, NAME_LIST_BULLET);
    }

    void ClearCurrentMarks()
    {
        for (int i = 0; i < m_list.GetItemCount(); ++i) m_list.SetItemText(i, NAME_LIST_MARK_COLUMN, u"");
    }

    // The row's name as the settings block can hold it (49 characters): the
    // name is taken so both to be made current and to tell whether a row is
    // the current one.
    const WCHAR* RowName(int row)
    {
        WCHAR whole[NAME_LIST_FILE_CHARS];
        m_list.GetItemText(row, NAME_LIST_NAME_COLUMN, whole, NAME_LIST_FILE_CHARS);
        qplat::CopyField(m_rowName, PARAM_NAME_CHARS, whole);
        return m_rowName;
    }

    // Whether the row's whole name fits the settings field (49 characters).
    bool RowNameFits(int row)
    {
        WCHAR whole[NAME_LIST_FILE_CHARS];
        m_list.GetItemText(row, NAME_LIST_NAME_COLUMN, whole, NAME_LIST_FILE_CHARS);
        return wcsnlen(whole, NAME_LIST_FILE_CHARS) < static_cast<size_t>(PARAM_NAME_CHARS);
    }

    // Deletes the row's file from the device type's folder; the row goes when
    // the file is gone from the card, so the list shows what the card holds.
    // 0 when it was deleted, else the text to show (DeleteListedFile).
    int DeleteFile(int row)
    {
        WCHAR fileName[NAME_LIST_FILE_CHARS];
        m_list.GetItemText(row, 0, fileName, NAME_LIST_FILE_CHARS);
        WCHAR folder[PROGRAM_FOLDER_CHARS + 16];
        swprintf(folder, std::size(folder), u"%s%s", m_folderPath, Self().SubFolder());
        bool gone = false;
        const int told = DeleteListedFile(folder, fileName, Self().ListedOf(fileName), gone);
        if (gone) m_list.DeleteItem(row);
        // What the card holds instead is shown.
        if (told == SCREEN_CARD_CHANGED) Self().FillList();
        return told;
    }

    // The delete command: never the current one, and only after a yes; a file
    // that cannot be deleted is said, and so is one deleted without the card
    // confirming it.
    void OnDelete()
    {
        const int row = m_list.GetSelected();
        if (row < 0) {
            this->ShowMessage(MESSAGE_NOTICE, Screen::kTextNothingSelected);
            return;
        }
        // A name longer than the field is never the current one, whatever
        // its first 49 characters.
        const bool mayBeCurrent = Screen::kTextNameTooLong == 0 || RowNameFits(row);
        if (mayBeCurrent && IsCurrentName(RowName(row))) {
            this->ShowMessage(MESSAGE_NOTICE, Screen::kTextCurrentNotDeleted);
            return;
        }
        if (this->ShowMessage(MESSAGE_QUESTION, Screen::kTextDeleteQuestion) != 1) return;
        if (const int told = Self().DeleteFile(row)) this->ShowMessage(DeleteToldAs(told), told);
    }

    // The make-current command: the name goes into the settings file; a name
    // chosen directly no longer belongs to a selected wheel type, so on the
    // wheel devices the type's name goes when the settings changed. Shown as
    // current only once saved. A name the field cannot hold whole is refused
    // where the screen says so: its first 49 characters could name another
    // file, which would then be loaded in its place.
    void OnMakeCurrent()
    {
        const int row = m_list.GetSelected();
        if (row < 0) {
            this->ShowMessage(MESSAGE_NOTICE, Screen::kTextNothingSelected);
            return;
        }
        if (Screen::kTextNameTooLong != 0 && !RowNameFits(row)) {
            this->ShowMessage(MESSAGE_NOTICE, Screen::kTextNameTooLong);
            return;
        }
        ParamBlock& params = this->m_params;
        const ParamBlock before = params;
        qplat::CopyField(Self().CurrentField(), PARAM_NAME_CHARS, RowName(row));
        if (params.deviceType != 4 && std::memcmp(&params, &this->m_loadedParams, sizeof params) != 0)
            std::memset(params.wheelTypeName, 0, sizeof params.wheelTypeName);
        if (!this->SaveSettings()) {
            params = before;
            return;
        }
        ClearCurrentMarks();
        m_list.SetItemText(row, NAME_LIST_MARK_COLUMN, NAME_LIST_BULLET);
        m_currentEdit.SetText(CurrentName().c_str());
        Self().OnMadeCurrent();
    }

    // A tap on a header of the list: the name column sorts, the others not.
    bool OnColumnClick(LPARAM lParam, INT_PTR& answer)
    {
        const auto* note = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if (!note || note->hdr.code != LVN_COLUMNCLICK || note->hdr.hwndFrom != m_list.m_hWnd) return false;
        if (note->iSubItem == NAME_LIST_NAME_COLUMN) {
            WCHAR caption[PAINT_CAPTION_CHARS + 1];
            qplat::CopyField(caption, std::size(caption), this->m_language.GetText(Screen::kTextNameColumn));
            SortNameList(m_list, m_sortAscending, caption);
        }
        answer = Screen::kUnhandledAnswer;
        return true;
    }

protected:
    void OnMadeCurrent() {}

private:
    Screen& Self() { return static_cast<Screen&>(*this); }
    WCHAR m_rowName[PARAM_NAME_CHARS] = {};
};
