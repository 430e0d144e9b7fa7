#include "ui/BufferedDC.h"

#include <mutex>

namespace {

// Held from construction to destruction of an instance, so the busy
// animation's thread and the user-interface thread never share the surface at
// once. Recursive, so a painting nested on one thread (a fault, but possible)
// cannot hang the program.
std::recursive_mutex& SurfaceLock()
{
    static std::recursive_mutex* lock = new std::recursive_mutex();  // outlives every static object
    return *lock;
}

}  // namespace

BufferedDCStatics g_bufferedDCStatics;

BufferedDCStatics::BufferedDCStatics()
{
    memoryDC = nullptr;
    previousBitmap = nullptr;
    sharedBitmap = nullptr;
    keptWidth = 0;
    keptHeight = 0;
}

BufferedDCStatics::~BufferedDCStatics()
{
    CBufferedDC::FreeStatics();
}

void CBufferedDC::InitStatics()
{
    std::lock_guard<std::recursive_mutex> lock(SurfaceLock());
    BufferedDCStatics& s = g_bufferedDCStatics;
    s.memoryDC = nullptr;
    s.previousBitmap = nullptr;
    s.sharedBitmap = nullptr;
    s.keptWidth = 0;
    s.keptHeight = 0;
}

void CBufferedDC::FreeStatics()
{
    std::lock_guard<std::recursive_mutex> lock(SurfaceLock());
    BufferedDCStatics& s = g_bufferedDCStatics;
    if (s.sharedBitmap) {
        DeleteObject(s.sharedBitmap);
        s.sharedBitmap = nullptr;
    }
    if (s.memoryDC) {
        ::DeleteDC(s.memoryDC);
        s.memoryDC = nullptr;
    }
    s.previousBitmap = nullptr;
    s.keptWidth = 0;
    s.keptHeight = 0;
}

CBufferedDC::CBufferedDC(HDC target, const RECT& rect) : m_target(target), m_rect(rect)
{
    SurfaceLock().lock();
    BufferedDCStatics& s = g_bufferedDCStatics;
    if (!s.memoryDC) s.memoryDC = ::CreateCompatibleDC(target);
    m_hDC = m_hAttribDC = s.memoryDC;
    if (!s.memoryDC) return;
    if (rect.right > s.keptWidth || rect.bottom > s.keptHeight) {
        // Sized right by bottom, so drawing at the rectangle's own coordinates lands inside.
        HBITMAP bigger = ::CreateCompatibleBitmap(target, rect.right, rect.bottom);
        if (!bigger) {
            // Keep the old (smaller) surface for later paintings; this one draws nothing.
            m_hDC = m_hAttribDC = nullptr;
            return;
        }
        if (s.sharedBitmap) ::DeleteObject(s.sharedBitmap);
        s.sharedBitmap = bigger;
        s.keptWidth = rect.right;
        s.keptHeight = rect.bottom;
    }
    s.previousBitmap = static_cast<HBITMAP>(::SelectObject(s.memoryDC, s.sharedBitmap));
    m_ready = s.sharedBitmap != nullptr;
}

CBufferedDC::~CBufferedDC()
{
    BufferedDCStatics& s = g_bufferedDCStatics;
    if (m_ready) {
        ::BitBlt(m_target, m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), s.memoryDC, m_rect.left,
               m_rect.top, SRCCOPY);
        ::SelectObject(s.memoryDC, s.previousBitmap);
    }
    // The context is shared: the base class must not delete it.
    m_hDC = m_hAttribDC = nullptr;
    SurfaceLock().unlock();
}
