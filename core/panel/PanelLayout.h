// Where the control panel's controls go when the dialog font on this system
// does not have the metrics the panel was drawn for.
//
// The dialog manager places controls in dialog units, scaled by the dialog
// font's base units. The program's fixed pixel places (the views beside the
// panel, WinFunc and ColorSample over the panel's sunken frames) were laid
// out for base units of 7 x 12 pixels. A system that lacks the panel's font
// (Wine falls back to a taller CJK face) or runs at another DPI gets other
// base units, and the panel grows away from those places. The panel then
// re-places every control at the pixel rectangle its template gives at
// 7 x 12, using the template itself (read here) as the source of truth.
//
// Platform-neutral: the template is parsed from its bytes, so that the parser
// and the arithmetic can be checked without a screen.
#ifndef KELVARA_PANEL_LAYOUT_H
#define KELVARA_PANEL_LAYOUT_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace panelLayout {

// Pixels per 4 horizontal and per 8 vertical dialog units.
struct BaseUnits {
    int x;
    int y;
};

// What the panel and the fixed window places were laid out for.
constexpr BaseUnits designBaseUnits{7, 12};

// Highest text line (TEXTMETRIC tmHeight) that fits the design: a label of
// 8 dialog units is 12 pixels high at 7 x 12.
constexpr int designLineHeight = 12;

constexpr bool isDesignLayout(BaseUnits units)
{
    return units.x == designBaseUnits.x && units.y == designBaseUnits.y;
}

struct DialogRect {
    int x;
    int y;
    int cx;
    int cy;
};

struct PixelRect {
    int x;
    int y;
    int width;
    int height;
};

// Predefined control classes are named by ordinal in a template.
constexpr int comboBoxClassOrdinal = 0x0085;

struct TemplateItem {
    DialogRect rect;
    uint32_t id;       // as stored; IDC_STATIC comes out as 0xFFFFFFFF
    int classOrdinal;  // 0 when the class is given by name
};

struct DialogTemplate {
    DialogRect rect;
    std::vector<TemplateItem> items;  // in template order, which is creation order
};

// Reads an extended dialog template (DLGTEMPLATEEX, what DIALOGEX compiles
// to). Returns false, leaving `result` unspecified, for any other layout, when
// the bytes end early or an item count points past them.
bool parseDialogTemplate(const uint8_t* bytes, std::size_t size, DialogTemplate& result);

// Whether a control id read back from a window is the template's id. Ids are
// compared on their low 16 bits: IDC_STATIC is stored as -1 and comes back as
// -1 or as 0xFFFF depending on the system.
constexpr bool sameControlId(uint32_t templateId, uint32_t windowId)
{
    return (templateId & 0xFFFFu) == (windowId & 0xFFFFu);
}

// value * numerator / denominator rounded to the nearest integer, halves away
// from zero: the dialog manager's own scaling (MulDiv). -1 for a zero
// denominator, as MulDiv gives.
int mulDivRounded(int value, int numerator, int denominator);

// The pixels the dialog manager gives a template rectangle at these base
// units: position and size are scaled separately.
PixelRect toPixels(DialogRect rect, BaseUnits units);

}  // namespace panelLayout

#endif
