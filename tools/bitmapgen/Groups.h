// The picture groups, one per screen group; each writes its pictures to the
// output.
#pragma once

#include "tools/bitmapgen/Drawing.h"

namespace bitmapgen {

void StartAndMenuBitmaps(Output& out);
void MeasureBitmaps(Output& out);
void JournalBitmaps(Output& out);
void SettingsBitmaps(Output& out);
void SensorAndSchemeBitmaps(Output& out);
void StatusBitmaps(Output& out);
void KeyboardBitmaps(Output& out);

}  // namespace bitmapgen
