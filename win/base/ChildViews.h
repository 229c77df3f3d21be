// Creating and showing a view, a child window of the main window, on the
// thread that will own it: the user-interface thread for the panel's two
// views, the display thread for the three graph views.
#ifndef KELVARA_CHILD_VIEWS_H
#define KELVARA_CHILD_VIEWS_H

#include <windows.h>

#include "win/base/WindowRegistry.h"

// Shows a view that has just been created and paints it at once.
inline void showView(HWND window)
{
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
}

// Registers the view's class and creates it, shown, as a child of `parent`.
// Default place and size: each view moves itself to its place when it is
// sized, which first happens when it is shown.
inline HWND createChildView(const wchar_t* className, WNDPROC procedure, HWND parent)
{
    registerKelvaraClass(className, procedure);
    HWND view = CreateWindowExW(0, className, L"SPECTDraw", WS_CHILD, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, parent, nullptr, appInstance, nullptr);
    showView(view);
    return view;
}

#endif
