// The program's resources: lookup by type and id in the table that resources/
// embeds, bitmaps decoded from PNG, strings.
#include <cstring>
#include <map>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "platform/gdi/GdiInternal.h"

// Resolved at link time when qav_resources is part of the program; a program
// without it (a platform test, say) simply has no resources.
extern "C" __attribute__((weak)) const qplat::ResourceEntry* QavResourceTable(size_t* count);

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

const qplat::ResourceEntry* Find(WORD type, WORD id)
{
    if (!QavResourceTable) return nullptr;
    size_t count = 0;
    const qplat::ResourceEntry* table = QavResourceTable(&count);
    for (size_t i = 0; table && i < count; ++i)
        if (table[i].type == type && table[i].id == id) return &table[i];
    return nullptr;
}

// Decoded pictures, kept for the run: every load hands out a fresh copy.
const qplat::Surface* Picture(WORD id)
{
    static std::map<WORD, qplat::Surface> cache;
    auto it = cache.find(id);
    if (it != cache.end()) return it->second.width > 0 ? &it->second : nullptr;
    qplat::Surface s;
    const qplat::ResourceEntry* e = Find(2, id);
    if (e) qplat::DecodePng(e->data, e->size, s);
    auto& slot = cache[id] = std::move(s);
    return slot.width > 0 ? &slot : nullptr;
}

HBITMAP MakeBitmap(const qplat::Surface& picture, int width, int height)
{
    auto surface = std::make_shared<qplat::Surface>(picture);
    HBITMAP bitmap = qplat::CreateBitmapFromSurface(surface);
    if (bitmap && width > 0 && height > 0 && (width != picture.width || height != picture.height)) {
        HBITMAP sized = CreateCompatibleBitmap(nullptr, width, height);
        HDC src = CreateCompatibleDC(nullptr), dst = CreateCompatibleDC(nullptr);
        HGDIOBJ oldSrc = SelectObject(src, bitmap), oldDst = SelectObject(dst, sized);
        StretchBlt(dst, 0, 0, width, height, src, 0, 0, picture.width, picture.height, SRCCOPY);
        SelectObject(src, oldSrc);
        SelectObject(dst, oldDst);
        DeleteDC(src);
        DeleteDC(dst);
        DeleteObject(bitmap);
        bitmap = sized;
    }
    return bitmap;
}

}  // namespace

HRSRC FindResourceW(HMODULE, LPCWSTR name, LPCWSTR type)
{
    if (!IS_INTRESOURCE(name) || !IS_INTRESOURCE(type)) return nullptr;
    auto id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    auto t = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(type));
    const qplat::ResourceEntry* e = Find(t, id);
    return reinterpret_cast<HRSRC>(const_cast<qplat::ResourceEntry*>(e));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource)
{
    if (!resource) return nullptr;
    const auto* e = reinterpret_cast<const qplat::ResourceEntry*>(resource);
    return const_cast<uint8_t*>(e->data);
}

LPVOID LockResource(HGLOBAL data)
{
    return data;
}

DWORD SizeofResource(HMODULE, HRSRC resource)
{
    if (!resource) return 0;
    return static_cast<DWORD>(reinterpret_cast<const qplat::ResourceEntry*>(resource)->size);
}

BOOL FreeResource(HGLOBAL)
{
    return TRUE;
}

int LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int size)
{
    if (!buffer || id > 0xFFFF) return 0;
    const qplat::ResourceEntry* e = Find(6, static_cast<WORD>(id));
    int len = e ? static_cast<int>(e->size / 2) : 0;
    if (size == 0) {
        // The caller receives a pointer to the read-only text.
        static const WCHAR empty[1] = {0};
        const WCHAR* text = e && len ? reinterpret_cast<const WCHAR*>(e->data) : empty;
        std::memcpy(buffer, &text, sizeof text);
        return len;
    }
    if (size < 0) return 0;
    int n = len < size - 1 ? len : size - 1;
    if (n > 0) std::memcpy(buffer, e->data, static_cast<size_t>(n) * 2);
    buffer[n < 0 ? 0 : n] = 0;
    return n < 0 ? 0 : n;
}

HANDLE LoadImageW(HINSTANCE, LPCWSTR name, UINT type, int width, int height, UINT flags)
{
    if (type != IMAGE_BITMAP || !name) return nullptr;
    Lock lock(qplat::GdiMutex());
    if (flags & LR_LOADFROMFILE) {
        if (IS_INTRESOURCE(name)) return nullptr;
        std::string path = qplat::HostPath(std::u16string(name));
        if (path.empty()) return nullptr;
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) return nullptr;
        std::vector<uint8_t> bytes;
        uint8_t chunk[65536];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0 && bytes.size() < (64u << 20))
            bytes.insert(bytes.end(), chunk, chunk + got);
        std::fclose(f);
        qplat::Surface s;
        if (!qplat::DecodePng(bytes.data(), bytes.size(), s)) return nullptr;
        return MakeBitmap(s, width, height);
    }
    if (!IS_INTRESOURCE(name)) return nullptr;
    const qplat::Surface* picture = Picture(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)));
    if (!picture) return nullptr;
    return MakeBitmap(*picture, width, height);
}

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name)
{
    return static_cast<HBITMAP>(LoadImageW(instance, name, IMAGE_BITMAP, 0, 0, 0));
}

BOOL GetIconInfo(HICON icon, PICONINFO info)
{
    if (!icon || !info || !QavResourceTable) return FALSE;
    size_t count = 0;
    const qplat::ResourceEntry* table = QavResourceTable(&count);
    const auto* e = reinterpret_cast<const qplat::ResourceEntry*>(icon);
    // Only a handle that points into the table is an icon of ours.
    bool ours = false;
    for (size_t i = 0; table && i < count; ++i)
        if (&table[i] == e && (e->type == 3 || e->type == 14)) ours = true;
    if (!ours) return FALSE;
    Lock lock(qplat::GdiMutex());
    qplat::Surface s;
    if (!qplat::DecodePng(e->data, e->size, s)) return FALSE;
    HBITMAP color = MakeBitmap(s, 0, 0);
    HBITMAP mask = CreateCompatibleBitmap(nullptr, s.width, s.height);
    if (!color || !mask) {
        if (color) DeleteObject(color);
        if (mask) DeleteObject(mask);
        return FALSE;
    }
    info->fIcon = TRUE;
    info->xHotspot = static_cast<DWORD>(s.width / 2);
    info->yHotspot = static_cast<DWORD>(s.height / 2);
    info->hbmMask = mask;
    info->hbmColor = color;
    return TRUE;
}
