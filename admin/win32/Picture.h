// The program's picture for the splash window and the about box: a database drum
// squeezed by two arrows, drawn at any size.
#pragma once

#include "admin/Branding.h"

#include <windows.h>

namespace quillet::admin {

void DrawProgramPicture(HDC dc, const RECT& area);

inline COLORREF ColourOf(Rgb colour) {
    return RGB(colour.r, colour.g, colour.b);
}

} // namespace quillet::admin
