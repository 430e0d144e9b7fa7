// DiscResult lives in the data layer with the journal records that embed it; this
// older path is kept for the screens that still include it.
#pragma once

#include "settings/DiscResult.h"
