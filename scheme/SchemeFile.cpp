// Scheme files: the writer of the scheme editor, the list, and the parser that
// loads a scheme into the cars of a CScheme.
//
// Every text of a scheme file (the name line and the five fields) is read and
// written through the same 8-bit code page, so a name the list shows is the
// name loading looks for, and a car named in Cyrillic reads back as written.
#include "scheme/SchemeFile.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "scheme/SchemeOrder.h"
#include "settings/FileNames.h"

namespace {

// A scheme of 40 cars of 36 axles of three wheels with every field at its
// widest stays far below this; anything longer is not a scheme file.
constexpr DWORD kMaxSchemeFileBytes = 4u << 20;
// A number in a scheme file has at most a few digits; a longer run saturates
// here, well outside every valid range, instead of overflowing.
constexpr int kNumberCeiling = 1000000;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n' || c == 0;
}

// Kind letters d, i, s, w and side letters l, r, m in either case; -1 for any
// other character.
int KindOf(char c)
{
    switch (c) {
    case 'd': case 'D': return 0;
    case 'i': case 'I': return 1;
    case 's': case 'S': return 2;
    case 'w': case 'W': return 3;
    default: return -1;
    }
}

int SideOf(char c)
{
    switch (c) {
    case 'l': case 'L': return SIDE_LEFT;
    case 'r': case 'R': return SIDE_RIGHT;
    case 'm': case 'M': return SIDE_MIDDLE;
    default: return -1;
    }
}

// A cursor over scheme text that never reads past its end.
struct Cursor {
    const char* text;
    size_t length;
    size_t p;

    bool AtEnd() const { return p >= length; }
    char Peek(size_t ahead = 0) const { return p + ahead < length ? text[p + ahead] : 0; }
    void Skip(size_t n) { p = p + n < length ? p + n : length; }

    // The digits at the cursor as a number (saturating) and as text.
    int Number(std::string* digits)
    {
        int value = 0;
        digits->clear();
        while (!AtEnd() && IsDigit(text[p])) {
            value = value >= kNumberCeiling / 10 ? kNumberCeiling : value * 10 + (text[p] - '0');
            if (digits->size() < 64)
                digits->push_back(text[p]);
            ++p;
        }
        return value;
    }

    // The bytes up to the next "|", which is skipped.
    std::string Field()
    {
        const size_t start = p;
        while (!AtEnd() && text[p] != '|')
            ++p;
        std::string field(text + start, p - start);
        Skip(1);
        return field;
    }
};

// 8-bit text into a scheme text, cut to its width.
template <size_t N>
void Widen(WCHAR (&target)[N], const std::string& bytes)
{
    size_t n = 0;
    for (; n < bytes.size() && n + 1 < N; ++n)
        target[n] = qplat::FromCodePageChar(static_cast<unsigned char>(bytes[n]));
    target[n] = 0;
}

// The first line of a file (before its CR or LF), at most maxChars, through
// the code page.
std::u16string NameLine(const std::vector<char>& bytes, size_t maxChars)
{
    std::u16string name;
    for (size_t i = 0; i < bytes.size() && name.size() < maxChars && !IsLineEnd(bytes[i]); ++i)
        name.push_back(qplat::FromCodePageChar(static_cast<unsigned char>(bytes[i])));
    return name;
}

// Reads a whole file of at most `limit` bytes; empty when it cannot be read
// or is larger.
std::vector<char> ReadWhole(LPCWSTR path, DWORD limit)
{
    std::vector<char> bytes;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    const DWORD size = GetFileSize(file, nullptr);
    if (size != INVALID_FILE_SIZE && size > 0 && size <= limit) {
        bytes.resize(size);
        DWORD got = 0;
        if (!::ReadFile(file, bytes.data(), size, &got, nullptr))
            got = 0;
        bytes.resize(got);
    }
    CloseHandle(file);
    return bytes;
}

bool Append(WCHAR* path, size_t chars, LPCWSTR folder, LPCWSTR tail)
{
    const size_t a = wcslen(folder), b = wcslen(tail);
    if (a + b + 1 > chars)
        return false;
    wcscpy(path, folder);
    wcscat(path, tail);
    return true;
}

// Whether a name survives the trip through the code page: a character the
// code page lacks would be written as "?" and the scheme never found again.
bool FitsCodePage(LPCWSTR name)
{
    const std::u16string_view text(name, wcslen(name));
    return qplat::FromCodePage(qplat::ToCodePage(text)) == text;
}

}  // namespace

CSchemeFile::CSchemeFile()
{
    qplat::CopyField(m_path, PROGRAM_FOLDER_CHARS, m_folder.GetPath());
}

CSchemeFile::~CSchemeFile() = default;

bool CSchemeFile::FolderOf(int deviceType, WCHAR* folder, size_t chars) const
{
    folder[0] = 0;
    return Append(folder, chars, m_path, deviceType == 4 ? u"Schemes_QOD\\" : u"Schemes\\");
}

const SchemeListEntry* CSchemeFile::GetEntry(int index) const
{
    return index >= 0 && index < m_count ? &m_entries[index] : nullptr;
}

const char* CSchemeFile::FormatCarItem(int carNumber)
{
    static thread_local char item[32];
    qplat_snprintf(item, sizeof(item), "%dd-|||", carNumber);
    return item;
}

const char* CSchemeFile::FormatWheelItem(int axleNumber, int layout, int side)
{
    static thread_local char item[32];
    item[0] = 0;
    const bool part = (layout == 1 && side == SIDE_MIDDLE) || (layout == 2 && (side == SIDE_LEFT || side == SIDE_RIGHT)) ||
                      (layout == 3 && side >= SIDE_LEFT && side <= SIDE_MIDDLE);
    if (part)
        qplat_snprintf(item, sizeof(item), "%d%c||||", axleNumber, side == SIDE_LEFT ? 'l' : side == SIDE_RIGHT ? 'r' : 'm');
    return item;
}

int CSchemeFile::Write(int carCount, int axlesPerCar, int orderType, LPCWSTR name, int layout, int deviceType)
{
    if (!IsValidFileName(name, SCHEME_MAX_NAME_CHARS) || !FitsCodePage(name))
        return 0;
    if (carCount < 1 || carCount > SCHEME_MAX_CARS || axlesPerCar < 1 || axlesPerCar > SCHEME_MAX_AXLES || layout < 1 ||
        layout > 3 || orderType < 1 || orderType > 6)
        return 0;
    const WCHAR* mapped = m_language.MapFileName(name);

    std::string text = qplat::ToCodePage(std::u16string_view(mapped, wcslen(mapped)));
    text += "\r\n{\r\n";
    std::string line;
    int lineItems = 0;
    int items = 0;
    auto flush = [&]() {
        if (lineItems > 0)
            text += line + ";\r\n";
        line.clear();
        lineItems = 0;
    };
    scheme_order::Walk(
        orderType, carCount, [&](int) { return axlesPerCar; }, [&](int, int) { return layout; },
        [&](int c) {
            flush();
            line = FormatCarItem(c + 1);
        },
        [&](int, int a, int s) {
            const char* item = FormatWheelItem(a + 1, layout, s);
            if (item[0] != 0) {
                line += item;
                ++lineItems;
                ++items;
            }
        });
    flush();
    // A scheme whose order would be empty (types 1 and 2 know no three-wheel
    // axle) or longer than the order holds could never be loaded.
    if (items == 0 || items > SCHEME_MAX_ORDER)
        return 0;
    char typeLine[32];
    qplat_snprintf(typeLine, sizeof(typeLine), "}\r\nType:%d\r\n", orderType);
    text += typeLine;

    WCHAR folder[PROGRAM_FOLDER_CHARS + 16];
    WCHAR path[PROGRAM_FOLDER_CHARS + 128];
    if (!FolderOf(deviceType, folder, PROGRAM_FOLDER_CHARS + 16) ||
        !ComposeFilePath(path, PROGRAM_FOLDER_CHARS + 128, folder, nullptr, mapped, u".sch"))
        return 0;
    // A card that never held a scheme has no folder for them yet.
    std::u16string bare(folder);
    bare.pop_back();
    const DWORD attributes = GetFileAttributesW(bare.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryW(bare.c_str(), nullptr);
    return qplat::RewriteFile(path, text.data(), text.size()) ? 1 : 0;
}

void CSchemeFile::List(int deviceType)
{
    m_count = 0;
    WCHAR folder[PROGRAM_FOLDER_CHARS + 16];
    WCHAR pattern[PROGRAM_FOLDER_CHARS + 32];
    if (!FolderOf(deviceType, folder, PROGRAM_FOLDER_CHARS + 16) ||
        !Append(pattern, PROGRAM_FOLDER_CHARS + 32, folder, u"*.sch"))
        return;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        WCHAR path[PROGRAM_FOLDER_CHARS + 16 + MAX_PATH];
        if (!Append(path, PROGRAM_FOLDER_CHARS + 16 + MAX_PATH, folder, found.cFileName))
            continue;
        const std::vector<char> bytes = ReadWhole(path, kMaxSchemeFileBytes);
        if (bytes.empty())
            continue;
        SchemeListEntry& row = m_entries[m_count];
        std::memset(&row, 0, sizeof(row));
        qplat::CopyField(row.fileName, SCHEME_LIST_TEXT_CHARS, found.cFileName);
        const std::u16string name = NameLine(bytes, SCHEME_LIST_TEXT_CHARS - 1);
        qplat::CopyField(row.schemeName, SCHEME_LIST_TEXT_CHARS, m_language.Translate(name.c_str()));
        m_listed[m_count] = ListedFileOf(found);
        ++m_count;
    } while (m_count < SCHEME_LIST_ROWS && FindNextFileW(find, &found));
    FindClose(find);
}

ListedFile CSchemeFile::Listed(LPCWSTR fileName) const
{
    for (int i = 0; i < m_count && fileName != nullptr; ++i)
        if (wcsncmp(m_entries[i].fileName, fileName, SCHEME_LIST_TEXT_CHARS) == 0) return m_listed[i];
    return ListedFile();
}

int CSchemeFile::Load(LPCWSTR name, SchemeCar* cars, int* itemCount, int* carCount, int* orderType, int deviceType)
{
    if (name == nullptr || cars == nullptr || wcslen(name) > static_cast<size_t>(SCHEME_LOAD_NAME_CHARS))
        return 0;
    WCHAR folder[PROGRAM_FOLDER_CHARS + 16];
    WCHAR pattern[PROGRAM_FOLDER_CHARS + 32];
    if (!FolderOf(deviceType, folder, PROGRAM_FOLDER_CHARS + 16) ||
        !Append(pattern, PROGRAM_FOLDER_CHARS + 32, folder, u"*.sch"))
        return 0;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    std::vector<char> bytes;
    bool taken = false;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        WCHAR path[PROGRAM_FOLDER_CHARS + 16 + MAX_PATH];
        if (!Append(path, PROGRAM_FOLDER_CHARS + 16 + MAX_PATH, folder, found.cFileName))
            continue;
        bytes = ReadWhole(path, kMaxSchemeFileBytes);
        // One character more than a name may have, so that a longer first
        // line never passes for a name it merely begins with.
        taken = !bytes.empty() && NameLine(bytes, SCHEME_LOAD_NAME_CHARS + 1) == std::u16string_view(name);
    } while (!taken && FindNextFileW(find, &found));
    FindClose(find);
    if (!taken)
        return 0;
    int items = 0, parsedCars = 0, type = 0;
    if (!Parse(bytes.data(), bytes.size(), cars, &items, &parsedCars, &type))
        return 0;
    const int positions = CScheme::CountOrderPositions(cars, parsedCars, type);
    if (positions == 0 || positions > SCHEME_MAX_ORDER)
        return 0;
    if (itemCount)
        *itemCount = items;
    if (carCount)
        *carCount = parsedCars;
    if (orderType)
        *orderType = type;
    return 1;
}

int CSchemeFile::ReadFile(LPCWSTR fileName, SchemeCar* cars, int* itemCount, int* carCount, int* orderType,
                          int deviceType)
{
    if (!IsValidFileName(fileName, MAX_PATH) || cars == nullptr)
        return 0;
    WCHAR folder[PROGRAM_FOLDER_CHARS + 16];
    WCHAR path[PROGRAM_FOLDER_CHARS + 16 + MAX_PATH];
    if (!FolderOf(deviceType, folder, PROGRAM_FOLDER_CHARS + 16) ||
        !Append(path, PROGRAM_FOLDER_CHARS + 16 + MAX_PATH, folder, fileName))
        return 0;
    const std::vector<char> bytes = ReadWhole(path, kMaxSchemeFileBytes);
    if (bytes.empty())
        return 0;
    return Parse(bytes.data(), bytes.size(), cars, itemCount, carCount, orderType);
}

int CSchemeFile::Parse(const char* text, size_t length, SchemeCar* cars, int* itemCount, int* carCountOut,
                       int* orderTypeOut)
{
    if (cars == nullptr)
        return 0;
    std::memset(cars, 0, sizeof(SchemeCar) * SCHEME_MAX_CARS);
    if (text == nullptr)
        return 0;
    const void* zero = std::memchr(text, 0, length);
    Cursor in{text, zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - text) : length, 0};

    int items = 0, carCount = 0, pattern = 0, patternKind = 0;
    bool end = false;
    while (!in.AtEnd() && in.Peek() != '{')
        in.Skip(1);
    if (in.AtEnd())
        return 0;
    in.Skip(1);

    std::string carDigits, axleDigits;
    while (!in.AtEnd() && !end) {
        // The car item.
        while (!in.AtEnd() && !IsDigit(in.Peek()))
            in.Skip(1);
        if (in.AtEnd())
            break;
        const int carNumber = in.Number(&carDigits);
        const int kind = KindOf(in.Peek());
        in.Skip(3);
        const std::string fieldA = in.Field();
        const std::string fieldB = in.Field();
        int lineAxles = 0;

        // Its wheel items.
        while (!in.AtEnd() && in.Peek() != ';') {
            const int axleNumber = in.Number(&axleDigits);
            const int side = SideOf(in.Peek());
            in.Skip(2);
            const std::string fieldC = in.Field();
            const std::string fieldD = in.Field();
            const std::string fieldE = in.Field();
            const unsigned carIndex = static_cast<unsigned>(carNumber - 1);
            const unsigned axleIndex = static_cast<unsigned>(axleNumber - 1);
            if (carIndex >= static_cast<unsigned>(SCHEME_MAX_CARS) || axleIndex >= static_cast<unsigned>(SCHEME_MAX_AXLES) ||
                kind < 0 || side < 0)
                return 0;

            SchemeCar& car = cars[carIndex];
            car.reversed = static_cast<BYTE>(IsReversedKind(kind));
            car.swapped = static_cast<BYTE>(IsSecondFlagKind(kind));
            Widen(car.name, fieldA);
            Widen(car.numberText, fieldB.empty() ? carDigits : fieldB);
            SchemeAxle& axle = car.axles[axleIndex];
            Widen(axle.name, fieldC.empty() ? axleDigits : fieldC);
            Widen(axle.secondName, fieldE.empty() ? std::string("0") : fieldE);
            SchemeWheel& wheel = axle.wheels[side];
            Widen(wheel.name, fieldD.empty() ? axleDigits : fieldD);
            wheel.state = 0;
            wheel.present = 1;

            if (static_cast<int>(carIndex) + 1 > carCount)
                carCount = static_cast<int>(carIndex) + 1;
            if (static_cast<int>(axleIndex) + 1 > lineAxles) {
                lineAxles = static_cast<int>(axleIndex) + 1;
                car.axleCount = lineAxles;
                car.bogieCount = 2;
            }
            if (items < 4) {
                pattern += side << items;
                patternKind = kind;
            }
            if (items < kNumberCeiling)
                ++items;
        }
        for (int c = 0; c < carCount; ++c)
            for (int a = 0; a < SCHEME_MAX_AXLES; ++a)
                cars[c].axles[a].layout = CountPresentWheels(cars, c, a);

        // Past the ";" to the next car item. The character right after the
        // ";" is not looked at, so the end mark must stand on a line of its
        // own, as the writer puts it.
        in.Skip(1);
        while (!in.AtEnd() && !IsDigit(in.Peek())) {
            in.Skip(1);
            if (in.Peek() == '}') {
                end = true;
                break;
            }
        }
    }
    if (!end)
        return 0;

    // Past "}" and its line end to the type line, if any.
    in.Skip(1);
    while (!in.AtEnd() && (in.Peek() == '\r' || in.Peek() == '\n' || in.Peek() == ' ' || in.Peek() == '\t'))
        in.Skip(1);
    int type = 0;
    if (in.Peek() == 'T') {
        in.Skip(5);
        std::string digits;
        type = in.Number(&digits);
        if (type < 1 || type > 6)
            type = 0;
    } else {
        type = OrderTypeFromPattern(pattern, patternKind);
    }
    if (itemCount)
        *itemCount = items;
    if (carCountOut)
        *carCountOut = carCount;
    if (orderTypeOut)
        *orderTypeOut = type;
    return 1;
}

int CSchemeFile::OrderTypeFromPattern(int pattern, int kind)
{
    const bool plain = kind == 0;
    switch (pattern) {
    case 0: case 8: case 12: return plain ? 2 : 1;
    case 1: case 3: case 15: return plain ? 1 : 2;
    case 5: return plain ? 3 : 4;
    case 10: return plain ? 4 : 3;
    case 6: return plain ? 6 : 5;
    case 9: return plain ? 5 : 6;
    default: return 0;
    }
}

int CSchemeFile::CountPresentWheels(const SchemeCar* cars, int car, int axle)
{
    if (cars == nullptr || car < 0 || car >= SCHEME_MAX_CARS || axle < 0 || axle >= SCHEME_MAX_AXLES)
        return 0;
    int n = 0;
    for (const SchemeWheel& wheel : cars[car].axles[axle].wheels)
        n += wheel.present == 1 ? 1 : 0;
    return n;
}

int CSchemeFile::IsReversedKind(int kind)
{
    return kind == 1 || kind == 3 ? 1 : 0;
}

int CSchemeFile::IsSecondFlagKind(int kind)
{
    return kind == 2 || kind == 3 ? 1 : 0;
}

int CSchemeFile::SaveCurrentName(LPCWSTR name, int deviceType)
{
    // Without readable settings there is nothing to store the name in: a
    // block made up here would replace the operator's settings by zeros.
    if (name == nullptr || !m_paramFile.Load(&m_paramBlock))
        return 0;
    const ParamBlock read = m_paramBlock;
    WCHAR* field = deviceType == 4 ? m_paramBlock.qodSchemeName : m_paramBlock.qavSchemeName;
    qplat::CopyField(field, PARAM_NAME_CHARS, name);
    return m_paramFile.Save(&m_paramBlock, &read);
}
