// The symbols the button faces are built from. Each is designed on the
// 32-unit grid (see Grid) and drawn in the colours of an Ink, so one design
// serves the 26-px strip of a measuring button as well as the 60-px picture of
// a series button, and every look (normal, pressed, disabled, selected).
#pragma once

#include "tools/bitmapgen/Drawing.h"

namespace bitmapgen {

// Marks, usually inside a badge.
void TickMark(Sketch& s, const Grid& g, COLORREF c, double width = 4.2);
void CrossMark(Sketch& s, const Grid& g, COLORREF c, double width = 4.2);
void PlusMark(Sketch& s, const Grid& g, COLORREF c, double width = 4.2);
void MinusMark(Sketch& s, const Grid& g, COLORREF c, double width = 4.2);

// A small round badge at (u, v) of the grid (radius in units) carrying a mark;
// a ring of the face colour keeps it apart from the symbol below.
enum class Mark { Plus, Cross, Tick, Pencil, Apply };
void Badge(Sketch& s, const Grid& g, double u, double v, Mark mark, const Ink& k, double radius = 7.5);

// Things.
void Pencil(Sketch& s, const Grid& g, const Ink& k);
void WheelSection(Sketch& s, const Grid& g, COLORREF c);             // the flanged rim, filled
void ProfileBlock(Sketch& s, const Grid& g, const Ink& k);            // the rim hatched, profile bold
std::vector<Pt> ProfileLine(const Grid& g);                             // its running surface
void LaserHead(Sketch& s, const Grid& g, const Ink& k, double beamTo);  // looking down, beam to v
void DiscSection(Sketch& s, const Grid& g, COLORREF c);
void Book(Sketch& s, const Grid& g, const Ink& k);
void Folder(Sketch& s, const Grid& g, const Ink& k);
void JournalSheet(Sketch& s, const Grid& g, const Ink& k);
void Calipers(Sketch& s, const Grid& g, const Ink& k);
void Gear(Sketch& s, const Grid& g, const Ink& k);
void Power(Sketch& s, const Grid& g, const Ink& k);
void Magnifier(Sketch& s, const Grid& g, const Ink& k);  // lens at (13.5, 13.5), r 8.5
void RadioWaves(Sketch& s, const Grid& g, const Ink& k);
void ClockCalendar(Sketch& s, const Grid& g, const Ink& k);
void Languages(Sketch& s, const Grid& g, const Ink& k);
void Train(Sketch& s, const Grid& g, const Ink& k);
void Car(Sketch& s, const Grid& g, const Ink& k);
void LimitsBar(Sketch& s, const Grid& g, const Ink& k);
void ProfileWithReference(Sketch& s, const Grid& g, const Ink& k);
void DiscWithReference(Sketch& s, const Grid& g, const Ink& k);
void ProfileDimensions(Sketch& s, const Grid& g, const Ink& k);
void CheckList(Sketch& s, const Grid& g, const Ink& k);
void RadioGroup(Sketch& s, const Grid& g, const Ink& k);
void Sensor(Sketch& s, const Grid& g, const Ink& k);
void Bluetooth(Sketch& s, const Grid& g, COLORREF c, double width = 2.6);
void WheelSide(Sketch& s, const Grid& g, const Ink& k);
void UsbTrident(Sketch& s, const Grid& g, COLORREF c);
void RulerUnits(Sketch& s, const Grid& g, const Ink& k);
void ListLines(Sketch& s, const Grid& g, const Ink& k);
void ProfileChart(Sketch& s, const Grid& g, const Ink& k);
void DeviationBars(Sketch& s, const Grid& g, const Ink& k);
void ValueTable(Sketch& s, const Grid& g, const Ink& k);
void Funnel(Sketch& s, const Grid& g, const Ink& k);
void Form(Sketch& s, const Grid& g, const Ink& k);
void ArrowRight(Sketch& s, const Grid& g, COLORREF c);
void DoubleArrowRight(Sketch& s, const Grid& g, COLORREF c);
void UndoArrow(Sketch& s, const Grid& g, COLORREF c);
void DownArrow(Sketch& s, const Grid& g, COLORREF c);
void Sigma(Sketch& s, const Grid& g, const Ink& k);
void ReferenceStore(Sketch& s, const Grid& g, const Ink& k);
void CatalogueCard(Sketch& s, const Grid& g, const Ink& k);
void DiameterGauge(Sketch& s, const Grid& g, const Ink& k);
void WheelSetGauge(Sketch& s, const Grid& g, const Ink& k);
void ZeroGauge(Sketch& s, const Grid& g, const Ink& k);
void CheckBox(Sketch& s, double l, double t, double size, bool ticked, const Ink& k);

// Compositions used on more than one screen.
void HeadOverProfile(Sketch& s, const Grid& g, const Ink& k);  // the wheel measurement
void HeadsAtDisc(Sketch& s, const Grid& g, const Ink& k);      // the brake-disc measurement
void SingleOrScheme(Sketch& s, const Grid& g, const Ink& k);

}  // namespace bitmapgen
