// Laying out Win32 windows in 96-dpi pixels: every control is placed at its logical
// position, scaled to the window's monitor, and placed again when the window moves to a
// monitor of another scale (per-monitor DPI awareness).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace quillet::ui::win32 {

// The dots per inch of the window's monitor (96 where the system cannot tell).
UINT DpiOf(HWND window);
int Scaled(int pixels, UINT dpi);

// The system's message font (what the user chose for dialogs and message boxes) scaled
// to `dpi`; `pixelHeight` (96-dpi pixels) other than 0 asks for that character height of
// the same face, for headings. The caller deletes it.
HFONT CreateUiFont(UINT dpi, int pixelHeight = 0, bool bold = false);

// Every window lays out with this: one font, the message font, in every window.
class Layout {
public:
    Layout() = default;
    ~Layout();
    Layout(const Layout&) = delete;
    Layout& operator=(const Layout&) = delete;

    // Binds to the window that owns the controls and creates its font.
    void attach(HWND parent);
    // Creates a child control at a logical rectangle of the parent's client area (or of
    // `within`'s, for a control placed on a panel that is itself laid out here).
    HWND add(const char* className, const std::string& text, DWORD style, int x, int y, int width, int height,
             int id = 0, DWORD exStyle = 0, HWND within = nullptr);
    // Registers a control created elsewhere at a logical rectangle.
    void place(HWND control, int x, int y, int width, int height);
    // Moves a registered control to a new logical rectangle.
    void move(HWND control, int x, int y, int width, int height);
    // Sizes the parent so that its client area is the logical size (plus its menu).
    void sizeClient(int width, int height);
    // For WM_DPICHANGED: new font, every control placed again, the suggested window rectangle.
    void rescale(UINT dpi, const RECT* suggested);

    UINT dpi() const { return dpi_; }
    int px(int logical) const { return Scaled(logical, dpi_); }
    HFONT font() const { return font_; }
    HWND parent() const { return parent_; }

private:
    struct Placed {
        HWND control;
        RECT logical;
    };
    void apply(const Placed& p) const;

    HWND parent_ = nullptr;
    UINT dpi_ = 96;
    HFONT font_ = nullptr;
    std::vector<Placed> placed_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
};

// Centres a top-level window on the work area of its monitor.
void CentreOnScreen(HWND window);

// The text of a window, and the text a control holds, in UTF-8.
std::string WindowText(HWND window);
// Sets it from UTF-8.
void SetText(HWND window, const std::string& text);
// A list box's line, and all of them, in UTF-8.
std::string ListBoxLine(HWND list, int row);
std::vector<std::string> ListBoxLines(HWND list);

// The instance the windows are registered with.
HINSTANCE Instance();

} // namespace quillet::ui::win32
