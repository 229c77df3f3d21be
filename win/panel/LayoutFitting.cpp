#include "win/panel/LayoutFitting.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/base/CommandIds.h"
#include "core/panel/PanelLayout.h"
#include "win/base/WindowRegistry.h"
#include "win/base/ScopedWin.h"

namespace pl = panelLayout;

namespace {

// The controls' font when the panel had to be re-placed; it must outlive
// every control that draws with it.
ScopedFont fittedFont;

bool loadPanelTemplate(pl::DialogTemplate& layout)
{
    HRSRC resource = FindResourceW(appInstance, MAKEINTRESOURCEW(IDD_CONTROL_PANEL), RT_DIALOG);
    if (!resource) return false;
    HGLOBAL loaded = LoadResource(appInstance, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return false;
    return pl::parseDialogTemplate(static_cast<const uint8_t*>(bytes), SizeofResource(appInstance, resource), layout);
}

// The panel's controls in creation order, which the dialog manager keeps as
// their z order. Empty when they do not line up with the template item by
// item: re-placing them by guesswork would scramble the panel.
std::vector<HWND> controlsInTemplateOrder(HWND panel, const pl::DialogTemplate& layout)
{
    std::vector<HWND> controls;
    for (HWND child = GetWindow(panel, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::size_t i = controls.size();
        if (i >= layout.items.size()) return {};
        if (!pl::sameControlId(layout.items[i].id, static_cast<uint32_t>(GetDlgCtrlID(child)))) return {};
        controls.push_back(child);
    }
    if (controls.size() != layout.items.size()) return {};
    return controls;
}

int lineHeightOf(HFONT font)
{
    WindowDC screen(nullptr);
    ScopedSelect select(screen, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    return metrics.tmHeight;
}

// The dialog's face at a size whose text lines fit the design's 12 pixels.
// A positive height asks the font mapper for that cell height, which is the
// line height, so the first try usually fits; faces that round up get smaller
// sizes until one fits.
HFONT fittingFont(HWND panel)
{
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(panel, WM_GETFONT, 0, 0));
    LOGFONTW face{};
    if (!dialogFont || GetObjectW(dialogFont, sizeof face, &face) != sizeof face) return nullptr;
    face.lfWidth = 0;
    constexpr int smallestTried = 6;
    for (int height = pl::designLineHeight; height >= smallestTried; --height) {
        face.lfHeight = height;
        HFONT font = CreateFontIndirectW(&face);
        if (!font) return nullptr;
        if (lineHeightOf(font) <= pl::designLineHeight) return font;
        DeleteObject(font);
    }
    return nullptr;
}

void placeAt(HWND window, const pl::PixelRect& r, UINT flags)
{
    SetWindowPos(window, nullptr, r.x, r.y, r.width, r.height, flags | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

// The dialog manager laid the panel out with this system's dialog font. Where
// that font's base units are not the design's (the face is missing, another
// DPI), it is laid out again from its template. Combo boxes take the height
// given to them as their drop-down list's, which is what the template's
// height means for them too.
void fitLayoutToDesignUnits(HWND panel)
{
    RECT unit{0, 0, 4, 8};
    MapDialogRect(panel, &unit);
    if (pl::isDesignLayout(pl::BaseUnits{unit.right, unit.bottom})) return;

    pl::DialogTemplate layout;
    if (!loadPanelTemplate(layout)) return;
    const std::vector<HWND> controls = controlsInTemplateOrder(panel, layout);
    if (controls.empty()) return;

    fittedFont.reset(fittingFont(panel));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        // Font first: a combo box sizes its selection field from its font
        // when it is moved.
        if (fittedFont) SendMessageW(controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(fittedFont.get()), FALSE);
        placeAt(controls[i], pl::toPixels(layout.items[i].rect, pl::designBaseUnits), 0);
    }
    // The panel has no border or caption: its window is its client area.
    placeAt(panel, pl::toPixels(layout.rect, pl::designBaseUnits), SWP_NOMOVE);
    InvalidateRect(panel, nullptr, TRUE);
}

void releaseFittedFont() { fittedFont.reset(); }
