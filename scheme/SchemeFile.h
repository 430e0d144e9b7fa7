// Measuring-scheme files "*.sch": "Schemes\" below the program folder for
// device types 1 to 3, "Schemes_QOD\" for device type 4.
//
// A scheme file is 8-bit text in the code page of the program's other text
// files, every line ending in CR LF: the scheme name, "{", one line per car
// run ("<car><kind>-|<name>|<number>|" followed by wheel items
// "<axle><side>|<axle name>|<wheel name>|<second axle name>|" and ";"), "}",
// and "Type:<order type>".
#pragma once

#include <cstddef>

#include "platform/WinDef.h"
#include "scheme/Scheme.h"
#include "settings/Language.h"
#include "settings/ParamFile.h"
#include "settings/ProgramFolder.h"
#include "settings/StoredFiles.h"

constexpr int SCHEME_LIST_ROWS = 500;
constexpr int SCHEME_LIST_TEXT_CHARS = 100;
// Loading compares at most this many characters of a file's first line.
constexpr int SCHEME_LOAD_NAME_CHARS = 50;
// The longest name the writer takes: the settings block must be able to name
// the scheme as the current one.
constexpr int SCHEME_MAX_NAME_CHARS = PARAM_NAME_CHARS - 1;

struct SchemeListEntry {
    WCHAR fileName[SCHEME_LIST_TEXT_CHARS];    // with its extension
    WCHAR schemeName[SCHEME_LIST_TEXT_CHARS];  // the file's first line
};
static_assert(sizeof(SchemeListEntry) == 400);
static_assert(offsetof(SchemeListEntry, schemeName) == 200);

class CSchemeFile {
public:
    CSchemeFile();
    virtual ~CSchemeFile();
    CSchemeFile(const CSchemeFile&) = delete;
    CSchemeFile& operator=(const CSchemeFile&) = delete;

    // Writes a new scheme of carCount cars (1..40) of axlesPerCar axles
    // (1..36), each axle of the layout (1 middle, 2 left and right, 3 all),
    // in order type 1..6, replacing a file of the same name as a whole.
    // 1 written; 0 when the name is not a plain file name of at most
    // SCHEME_MAX_NAME_CHARS characters of the code page, when the numbers
    // describe no scheme that could be measured (out of range, an empty order
    // or more positions than the order holds), or the file cannot be written.
    int Write(int carCount, int axlesPerCar, int orderType, LPCWSTR name, int layout, int deviceType);
    // "<n>d-|||" and "<a><side>||||" (empty when the side is not part of the
    // layout). Each result lives in one buffer per thread.
    static const char* FormatCarItem(int carNumber);
    static const char* FormatWheelItem(int axleNumber, int layout, int side);

    // Fills the rows with the scheme files of the device type's folder, in the
    // order the folder lists them (at most SCHEME_LIST_ROWS).
    void List(int deviceType);
    // Parses the first file whose name line equals `name` into `cars` (40).
    // 1 loaded; 0 when no file carries the name, it does not parse, or its
    // order would be empty or longer than SCHEME_MAX_ORDER positions.
    int Load(LPCWSTR name, SchemeCar* cars, int* itemCount, int* carCount, int* orderType, int deviceType);
    // Parses the folder's file of that name (with its extension).
    int ReadFile(LPCWSTR fileName, SchemeCar* cars, int* itemCount, int* carCount, int* orderType, int deviceType);
    // Parses scheme text of `length` bytes (it ends earlier at a zero byte).
    // 1 parsed; 0 on a car number outside 1..40, an axle number outside
    // 1..36, an unknown kind or side letter, or a text that ends before "}".
    // The cars parsed before a failure stay; the outs are written only on
    // success.
    static int Parse(const char* text, size_t length, SchemeCar* cars, int* itemCount, int* carCount, int* orderType);

    // The order type of a file without a type line, from the sides of its
    // first four wheel items; 0 when the pattern names none.
    static int OrderTypeFromPattern(int pattern, int kind);
    static int CountPresentWheels(const SchemeCar* cars, int car, int axle);
    static int IsReversedKind(int kind);
    static int IsSecondFlagKind(int kind);

    // Makes the name the current scheme of the device type (the QOD one for
    // device type 4) in the settings file. 1 when saved.
    int SaveCurrentName(LPCWSTR name, int deviceType);

    int GetCount() const { return m_count; }
    const SchemeListEntry* GetEntry(int index) const;

    // The listed file of that name (with its extension) as the listing
    // showed it; one not listed expects nothing.
    ListedFile Listed(LPCWSTR fileName) const;

    int m_count = 0;
    SchemeListEntry m_entries[SCHEME_LIST_ROWS] = {};
    ListedFile m_listed[SCHEME_LIST_ROWS] = {};

private:
    // The device type's folder, ending in "\".
    bool FolderOf(int deviceType, WCHAR* folder, size_t chars) const;

    WCHAR m_path[PROGRAM_FOLDER_CHARS] = {};
    CParamFile m_paramFile;
    ParamBlock m_paramBlock = {};
    CLanguage m_language;
    CProgramFolder m_folder;
};

