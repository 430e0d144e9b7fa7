// The horizontal scroll bar under the train diagram of the scheme list and
// the scheme editor: shown only while a car wider than the diagram's frame is
// drawn, it moves the car by 5 pixels a line and 50 a page.
#pragma once

#include "platform/WinDef.h"
#include "ui/ControlWrappers.h"

// Where the diagram is drawn on both screens.
constexpr int DIAGRAM_X = 10;
constexpr int DIAGRAM_Y = 90;
constexpr int DIAGRAM_WIDTH = 450;
constexpr int DIAGRAM_HEIGHT = 120;
constexpr int DIAGRAM_SCROLL_ID = 619;

struct CDiagramScroll {
    // Makes the bar (hidden) at (10, 200), 450 x 15.
    void Create(HWND owner, HINSTANCE instance);
    // A car of `carWidth` pixels: while the diagram is shown and the car does
    // not fit (451 pixels or more) the bar shows the range 0 to width - 440
    // from its start; otherwise it is hidden and the position is 0.
    void Update(int carWidth, bool diagramShown);
    // A WM_HSCROLL request; the position is kept within the range. True when
    // the request was one of the bar's (the caller then repaints).
    bool Scroll(int request, int thumb);

    int minimum = 0;
    int maximum = 0;
    int position = 0;
    CScrollBarCtl bar;
};
