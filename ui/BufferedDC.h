// Flicker-free painting: draw into a CBufferedDC made on the window's context
// and a rectangle; deleting it copies the rectangle to the window in one step.
//
// Every instance draws on one shared off-screen memory context and bitmap,
// kept for the whole run and replaced only when a painting reaches beyond it.
// One instance exists at a time: a construction waits until the instance of
// another thread (the busy animation's, say) is destroyed.
#pragma once

#include "platform/AfxGdi.h"
#include "platform/WinDef.h"

// The shared surface. The program-wide g_bufferedDCStatics is built before any
// painting and frees the surface at exit.
struct BufferedDCStatics {
    HDC memoryDC;
    HBITMAP previousBitmap;
    HBITMAP sharedBitmap;
    int keptWidth;
    int keptHeight;

    BufferedDCStatics();
    ~BufferedDCStatics();
    BufferedDCStatics(const BufferedDCStatics&) = delete;
    BufferedDCStatics& operator=(const BufferedDCStatics&) = delete;
};
extern BufferedDCStatics g_bufferedDCStatics;

class CBufferedDC : public CDC {
public:
    CBufferedDC(HDC target, const RECT& rect);
    ~CBufferedDC() override;

    static void InitStatics();
    static void FreeStatics();

    HDC m_target;
    CRect m_rect;

private:
    // False when the surface could not be prepared (no memory context or no
    // bitmap): then nothing is drawn and nothing is copied to the window.
    bool m_ready = false;
};
