#include "settings/FileNames.h"

#include "platform/WinText.h"

namespace {

bool IsRefusedChar(WCHAR c)
{
    if (c < 0x20 || c == 0x7F) return true;
    switch (c) {
    case u'\\':
    case u'/':
    case u':':
    case u'*':
    case u'?':
    case u'"':
    case u'<':
    case u'>':
    case u'|':
        return true;
    default:
        return false;
    }
}

bool IsValidName(const WCHAR* name, size_t length)
{
    if (length == 0) return false;
    for (size_t i = 0; i < length; ++i) {
        if (IsRefusedChar(name[i])) return false;
        if (name[i] == u'.' && i + 1 < length && name[i + 1] == u'.') return false;
    }
    // A lone "." names the folder itself.
    return !(length == 1 && name[0] == u'.');
}

}  // namespace

bool IsValidFileName(LPCWSTR name, size_t maxLength)
{
    if (name == nullptr) return false;
    // Look one character past the limit so an overlong name is refused rather
    // than read to its end.
    const size_t length = wcsnlen(name, maxLength + 1);
    if (length > maxLength) return false;
    return IsValidName(name, length);
}

bool IsValidFileNameField(const WCHAR* field, size_t fieldLength)
{
    if (field == nullptr) return false;
    return IsValidName(field, qplat::FieldLength(field, fieldLength));
}

bool ComposeFilePath(WCHAR* path, size_t pathLength, LPCWSTR folder, LPCWSTR subFolder, LPCWSTR name,
                     LPCWSTR extension)
{
    if (path == nullptr || pathLength == 0) return false;
    path[0] = 0;
    if (folder == nullptr || !IsValidFileName(name, pathLength)) return false;
    const int written = swprintf(path, pathLength, u"%s%s%s%s", folder, subFolder ? subFolder : u"", name,
                                 extension ? extension : u"");
    if (written < 0) {
        path[0] = 0;
        return false;
    }
    return true;
}
