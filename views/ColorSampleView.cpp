// placeholder: filled by its owner
#include "app/Globals.h"
LRESULT CALLBACK ColorSampleViewProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }
