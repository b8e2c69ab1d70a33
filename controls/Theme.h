// Everything the drawing code shares: screen DPI and scaling rules, the
// palette, the shared fonts.
#pragma once

#include "controls/Dpi.h"
#include "controls/Fonts.h"
#include "controls/Palette.h"
