#include "scheme/ui/DiagramScroll.h"

#include "platform/WinUser.h"

namespace {

constexpr int kLineStep = 5;
constexpr int kPageStep = 50;
constexpr int kWidestFitting = 450;
constexpr int kVisibleWidth = 440;

}  // namespace

void CDiagramScroll::Create(HWND owner, HINSTANCE instance)
{
    bar.Create(owner, instance, DIAGRAM_SCROLL_ID, DIAGRAM_X, 200, DIAGRAM_WIDTH, 15);
    bar.Show(SW_HIDE);
}

void CDiagramScroll::Update(int carWidth, bool diagramShown)
{
    position = 0;
    if (diagramShown && carWidth > kWidestFitting) {
        minimum = 0;
        maximum = carWidth - kVisibleWidth;
        bar.SetRange(minimum, maximum, FALSE);
        bar.SetPos(position, TRUE);
        bar.Show(SW_SHOW);
    } else {
        bar.Show(SW_HIDE);
        bar.SetPos(position, FALSE);
    }
}

bool CDiagramScroll::Scroll(int request, int thumb)
{
    int next = position;
    switch (request) {
    case SB_LINELEFT: next -= kLineStep; break;
    case SB_LINERIGHT: next += kLineStep; break;
    case SB_PAGELEFT: next -= kPageStep; break;
    case SB_PAGERIGHT: next += kPageStep; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: next = thumb; break;
    case SB_LEFT: next = minimum; break;
    case SB_RIGHT: next = maximum; break;
    default: return false;
    }
    position = next < minimum ? minimum : next > maximum ? maximum : next;
    bar.SetPos(position, TRUE);
    return true;
}
