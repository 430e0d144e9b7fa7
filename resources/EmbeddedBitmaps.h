// The bitmap resources as the build embeds them (see EmbedBitmaps.cmake).
#pragma once

#include <cstddef>

#include "platform/WinResource.h"

namespace qav::res {

extern const qplat::ResourceEntry kBitmaps[];
extern const size_t kBitmapCount;

}  // namespace qav::res
