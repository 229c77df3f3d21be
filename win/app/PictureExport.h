// Commands 32801 and 32802: the main window's client area as it is shown
// (panel, views, colour scale), saved as a PNG file or copied to the
// clipboard as a device-independent bitmap. Both run on the user-interface
// thread, from the main window's command handling.
#ifndef KELVARA_PICTURE_EXPORT_H
#define KELVARA_PICTURE_EXPORT_H

#include <windows.h>

#include <cstdint>
#include <vector>

#include "win/app/WindowPicture.h"

void savePicture(HWND mainWindow);  // 32801
void copyPicture(HWND mainWindow);  // 32802

// The PNG file that 32801 writes of `picture`; false where the system has no
// PNG encoder or it fails.
bool pngOfPicture(const WindowPicture& picture, std::vector<uint8_t>& png);

#endif
