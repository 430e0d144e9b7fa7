// Resources of the program: bitmaps, dialog templates and the string table,
// found by type and numeric id. There is one module (the program itself), so
// every HINSTANCE, including NULL, names it.
//
// The data comes from resources/ (embedded at build time). A program or test
// that links qav_resources has them; without it every lookup fails cleanly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/WinDef.h"

#define RT_CURSOR MAKEINTRESOURCEW(1)
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_MENU MAKEINTRESOURCEW(4)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)

// FindResourceW takes numeric names and types (MAKEINTRESOURCEW); a text name
// finds nothing. The returned data stays valid for the whole run: LoadResource
// and LockResource only hand it out, FreeResource does nothing.
// RT_BITMAP data is a PNG file; RT_DIALOG data is a dialog template in the
// system's binary layout (DLGTEMPLATE followed by its DLGITEMTEMPLATEs, each
// DWORD-aligned), ready for DialogBoxIndirectParamW.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);
BOOL FreeResource(HGLOBAL data);
// Copies string `id` into buffer (at most size - 1 characters, always
// terminated when size > 0) and returns its length; 0 when the string is
// absent or empty. With size 0 the buffer receives a pointer to the read-only
// text and the result is its length.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size);

namespace qplat {

// One resource as resources/ embeds it. For RT_STRING the data is the text in
// UTF-16 without terminator (size in bytes).
struct ResourceEntry {
    WORD type;  // 2 bitmap, 3 icon (PNG), 5 dialog, 6 string
    WORD id;
    const uint8_t* data;
    size_t size;
};

}  // namespace qplat

// Defined by resources/ (the program's resource table); the platform finds it
// when it is linked in.
extern "C" const qplat::ResourceEntry* QavResourceTable(size_t* count);
