// The panel laid out again at the design's dialog base units (7 x 12 pixels)
// when this system's dialog font has others, so that it still meets the fixed
// places of the views beside and over it. The arithmetic is in
// core/panel/PanelLayout.h.
#ifndef KELVARA_LAYOUT_FITTING_H
#define KELVARA_LAYOUT_FITTING_H

#include <windows.h>

// At the panel's initialisation, once its controls exist; does nothing at the
// design's base units.
void fitLayoutToDesignUnits(HWND panel);

// Deletes the font the fitting gave the controls; only once they are gone
// (the panel's WM_NCDESTROY), since they still draw with it until then.
void releaseFittedFont();

#endif
