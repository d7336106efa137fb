#include "admin/win32/Picture.h"

#include <algorithm>

namespace quillet::admin {

void DrawProgramPicture(HDC dc, const RECT& area) {
    const ProgramPicture& d = PictureShape;
    const int size = std::min(area.right - area.left, area.bottom - area.top);
    auto x = [&](double v) { return area.left + static_cast<int>(v * size / PictureUnits + 0.5); };
    auto y = [&](double v) { return area.top + static_cast<int>(v * size / PictureUnits + 0.5); };
    const double half = d.ringHeight / 2;
    HPEN pen = CreatePen(PS_SOLID, std::max(1, size / 68), ColourOf(d.outline));
    HBRUSH body = CreateSolidBrush(ColourOf(d.body));
    HBRUSH lid = CreateSolidBrush(ColourOf(d.lid));
    HBRUSH arrow = CreateSolidBrush(ColourOf(d.arrow));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, body);

    Ellipse(dc, x(d.left), y(d.bottom - half), x(d.right), y(d.bottom + half));
    SelectObject(dc, GetStockObject(NULL_PEN));
    Rectangle(dc, x(d.left) + 1, y(d.top), x(d.right), y(d.bottom + 1));
    SelectObject(dc, pen);
    for (double side : {d.left, d.right - 1}) {
        MoveToEx(dc, x(side), y(d.top), nullptr);
        LineTo(dc, x(side), y(d.bottom));
    }
    for (double band : d.bands)
        Arc(dc, x(d.left), y(band), x(d.right), y(band + d.ringHeight), x(d.left), y(band + half), x(d.right),
            y(band + half));
    SelectObject(dc, lid);
    Ellipse(dc, x(d.left), y(d.top - half), x(d.right), y(d.top + half));

    SelectObject(dc, GetStockObject(NULL_PEN));
    SelectObject(dc, arrow);
    for (const auto& shape : d.arrows) {
        POINT points[ArrowCorners];
        for (int i = 0; i < ArrowCorners; ++i)
            points[i] = {x(shape[i].x), y(shape[i].y)};
        Polygon(dc, points, ArrowCorners);
    }

    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    for (HGDIOBJ made : {HGDIOBJ(pen), HGDIOBJ(body), HGDIOBJ(lid), HGDIOBJ(arrow)})
        DeleteObject(made);
}

} // namespace quillet::admin
