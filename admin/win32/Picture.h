// The program's picture for the splash window and the about box: a database drum
// squeezed by two arrows, drawn at any size.
#pragma once

#include <windows.h>

namespace quillet::admin {

void DrawProgramPicture(HDC dc, const RECT& area);

} // namespace quillet::admin
