#include "admin/win32/Picture.h"

#include <algorithm>

namespace quillet::admin {

void DrawProgramPicture(HDC dc, const RECT& area) {
    // Drawn on a 137-unit square, mapped onto the area.
    const int size = std::min(area.right - area.left, area.bottom - area.top);
    auto x = [&](double v) { return area.left + static_cast<int>(v * size / 137.0 + 0.5); };
    auto y = [&](double v) { return area.top + static_cast<int>(v * size / 137.0 + 0.5); };
    const COLORREF green = RGB(0, 128, 0);
    HPEN pen = CreatePen(PS_SOLID, std::max(1, size / 68), green);
    HBRUSH body = CreateSolidBrush(RGB(150, 200, 150));
    HBRUSH top = CreateSolidBrush(RGB(200, 235, 200));
    HBRUSH arrow = CreateSolidBrush(RGB(0, 100, 0));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, body);

    Ellipse(dc, x(28), y(95), x(109), y(115));
    SelectObject(dc, GetStockObject(NULL_PEN));
    Rectangle(dc, x(28) + 1, y(40), x(109), y(106));
    SelectObject(dc, pen);
    MoveToEx(dc, x(28), y(40), nullptr);
    LineTo(dc, x(28), y(105));
    MoveToEx(dc, x(108), y(40), nullptr);
    LineTo(dc, x(108), y(105));
    Arc(dc, x(28), y(52), x(109), y(72), x(28), y(62), x(109), y(62));
    Arc(dc, x(28), y(74), x(109), y(94), x(28), y(84), x(109), y(84));
    SelectObject(dc, top);
    Ellipse(dc, x(28), y(30), x(109), y(50));

    SelectObject(dc, GetStockObject(NULL_PEN));
    SelectObject(dc, arrow);
    const POINT down[] = {{x(58), y(2)},  {x(79), y(2)},     {x(79), y(12)}, {x(88), y(12)},
                          {x(68.5), y(26)}, {x(49), y(12)}, {x(58), y(12)}};
    const POINT up[] = {{x(58), y(135)},   {x(79), y(135)},  {x(79), y(125)}, {x(88), y(125)},
                        {x(68.5), y(118)}, {x(49), y(125)}, {x(58), y(125)}};
    Polygon(dc, down, 7);
    Polygon(dc, up, 7);

    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(body);
    DeleteObject(top);
    DeleteObject(arrow);
}

} // namespace quillet::admin
