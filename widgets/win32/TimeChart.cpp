#include "widgets/win32/TimeChart.h"

#include "platform/win32/WideText.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

namespace quillet::widgets {

using platform::win32::Wide;

namespace {

COLORREF ColourOf(Rgb c) {
    return RGB(c.r, c.g, c.b);
}

SIZE Extent(HDC dc, const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

// The font and the chart a control keeps, in its window's extra bytes.
constexpr int FontSlot = 0, ChartSlot = sizeof(LONG_PTR);

TimeChart* ChartIn(HWND control) {
    return reinterpret_cast<TimeChart*>(GetWindowLongPtrW(control, ChartSlot));
}

void Paint(HWND control) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(control, &paint);
    RECT area;
    GetClientRect(control, &area);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FrameRect(dc, &area, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HFONT>(GetWindowLongPtrW(control, FontSlot)));
    SetBkMode(dc, TRANSPARENT);
    try {
        DrawTimeChart(dc, area, *ChartIn(control));
    } catch (...) {
        // No exception leaves a window procedure: a chart without the memory to draw stays blank.
    }
    SelectObject(dc, font);
    EndPaint(control, &paint);
}

LRESULT CALLBACK ChartProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(control, ChartSlot, reinterpret_cast<LONG_PTR>(new (std::nothrow) TimeChart()));
        if (!ChartIn(control))
            return FALSE;
        break;
    case WM_NCDESTROY:
        delete ChartIn(control);
        SetWindowLongPtrW(control, ChartSlot, 0);
        break;
    case WM_SETFONT:
        SetWindowLongPtrW(control, FontSlot, static_cast<LONG_PTR>(wParam));
        return 0;
    case WM_GETFONT:
        return GetWindowLongPtrW(control, FontSlot);
    case WM_PAINT:
        Paint(control);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(control, message, wParam, lParam);
}

} // namespace

void RegisterTimeChartClass() {
    static const bool registered = [] {
        static const std::wstring name = Wide(TimeChartClass);
        WNDCLASSW wc{};
        wc.style = CS_HREDRAW | CS_VREDRAW; // drawn whole at every size
        wc.lpfnWndProc = ChartProc;
        wc.cbWndExtra = 2 * sizeof(LONG_PTR);
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = name.c_str();
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
}

void ShowTimeChart(HWND control, const TimeChart& chart) {
    if (TimeChart* kept = ChartIn(control))
        *kept = chart;
    SetWindowTextW(control, Wide(chart.title).c_str());
    InvalidateRect(control, nullptr, FALSE);
}

// Labels measured, so that none is cut: the widest value sets the plot's left edge,
// dates stay inside the frame.
void DrawTimeChart(HDC dc, const RECT& area, const TimeChart& chart) {
    const int line = Extent(dc, L"0").cy;
    int legend = area.right - 6;
    for (std::size_t i = chart.series.size(); chart.series.size() > 1 && i-- > 0;) {
        const std::wstring name = Wide(chart.series[i].name);
        legend -= Extent(dc, name).cx + 24;
        HPEN pen = CreatePen(PS_SOLID, 2, ColourOf(SeriesColour(i)));
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, legend, area.top + 3 + line / 2, nullptr);
        LineTo(dc, legend + 14, area.top + 3 + line / 2);
        SelectObject(dc, old);
        DeleteObject(pen);
        TextOutW(dc, legend + 18, area.top + 3, name.c_str(), static_cast<int>(name.size()));
    }
    RECT title{area.left + 6, area.top + 3, legend - 6, area.top + 3 + line};
    DrawTextW(dc, Wide(chart.title).c_str(), -1, &title, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    if (!chart.note.empty()) {
        RECT middle = area;
        DrawTextW(dc, Wide(chart.note).c_str(), -1, &middle, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        return;
    }

    int labelWidth = 0;
    for (const AxisTick& tick : chart.y.ticks)
        labelWidth = std::max<int>(labelWidth, Extent(dc, Wide(tick.label)).cx);
    const RECT plot{area.left + 10 + labelWidth, area.top + 8 + line + line / 2, area.right - 10,
                    area.bottom - 6 - 2 * line};
    auto x = [&](double v) { return static_cast<int>(plot.left + chart.x.fraction(v) * (plot.right - plot.left)); };
    auto y = [&](double v) { return static_cast<int>(plot.bottom - chart.y.fraction(v) * (plot.bottom - plot.top)); };
    HPEN grid = CreatePen(PS_SOLID, 1, RGB(225, 225, 225));
    HGDIOBJ old = SelectObject(dc, grid);
    for (const AxisTick& tick : chart.y.ticks) {
        MoveToEx(dc, plot.left, y(tick.at), nullptr);
        LineTo(dc, plot.right, y(tick.at));
        RECT label{area.left + 4, y(tick.at) - line / 2, plot.left - 4, y(tick.at) + line};
        DrawTextW(dc, Wide(tick.label).c_str(), -1, &label, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX);
    }
    for (const AxisTick& tick : chart.x.ticks) {
        const std::wstring text = Wide(tick.label);
        const int width = Extent(dc, text).cx;
        const int left = std::max(static_cast<int>(area.left) + 2,
                                  std::min(x(tick.at) - width / 2, static_cast<int>(area.right) - 2 - width));
        MoveToEx(dc, x(tick.at), plot.bottom, nullptr);
        LineTo(dc, x(tick.at), plot.bottom + 4);
        TextOutW(dc, left, plot.bottom + line / 2 + 2, text.c_str(), static_cast<int>(text.size()));
    }
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(grid);
    MoveToEx(dc, plot.left, plot.top, nullptr);
    LineTo(dc, plot.left, plot.bottom);
    LineTo(dc, plot.right, plot.bottom);
    for (std::size_t i = 0; i < chart.series.size(); ++i) {
        HPEN pen = CreatePen(PS_SOLID, 2, ColourOf(SeriesColour(i)));
        SelectObject(dc, pen);
        std::vector<POINT> points;
        for (const ChartPoint& p : chart.series[i].points)
            points.push_back({x(static_cast<double>(p.unixSeconds)), y(p.megabytes)});
        if (points.size() > 1)
            Polyline(dc, points.data(), static_cast<int>(points.size()));
        for (const POINT& p : points)
            Ellipse(dc, p.x - 2, p.y - 2, p.x + 3, p.y + 3);
        SelectObject(dc, old);
        DeleteObject(pen);
    }
    SelectObject(dc, old);
}

} // namespace quillet::widgets
