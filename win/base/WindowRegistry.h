// The program's windows and threads: the instance, every window's handle,
// the count of threads that must end before the program may, the one class
// registration and the window procedures. Each handle is written once, when
// its window is created (the view handles by the display thread, the rest by
// the user-interface thread), and read by every thread.
#ifndef KELVARA_WINDOW_REGISTRY_H
#define KELVARA_WINDOW_REGISTRY_H

#include <windows.h>

#include <atomic>

extern HINSTANCE appInstance;
extern std::atomic<HWND> mainWindow;
extern std::atomic<HWND> controlPanel;
extern std::atomic<HWND> winFuncWindow;      // WinFunc
extern std::atomic<HWND> colorSampleWindow;  // ColorSample
extern std::atomic<HWND> waveWindow;         // WaveDraw
extern std::atomic<HWND> spectrumWindow;     // SPECTRAMDraw
extern std::atomic<HWND> voicePrintWindow;   // SPECTDraw
extern std::atomic<HWND> readoutWindow;      // KelvaraReadout, the line under the voice print

// Running display, recorder and player threads. The main window (and the
// panel) close on command 1001 only when it is 0.
extern std::atomic<LONG> busyThreadCount;

// The background every Kelvara window paints.
constexpr COLORREF windowBackground = RGB(212, 208, 200);

// Registers a window class with the settings every Kelvara class shares
// (redraw on resize, icon 108, arrow cursor, the windowBackground).
ATOM registerKelvaraClass(const wchar_t* className, WNDPROC procedure);

// Window procedures, one file each.
LRESULT CALLBACK MainWindowProc(HWND, UINT, WPARAM, LPARAM);          // win/app/MainWindow.cpp
INT_PTR CALLBACK AboutBoxProc(HWND, UINT, WPARAM, LPARAM);            // win/app/AboutBox.cpp
INT_PTR CALLBACK ControlPanelProc(HWND, UINT, WPARAM, LPARAM);        // win/panel/ControlPanel.cpp
LRESULT CALLBACK WaveformViewProc(HWND, UINT, WPARAM, LPARAM);        // win/views/WaveformView.cpp
LRESULT CALLBACK SpectrumViewProc(HWND, UINT, WPARAM, LPARAM);        // win/views/SpectrumView.cpp
LRESULT CALLBACK VoicePrintViewProc(HWND, UINT, WPARAM, LPARAM);      // win/views/VoicePrintView.cpp
LRESULT CALLBACK ColorSampleViewProc(HWND, UINT, WPARAM, LPARAM);     // win/views/ColorSampleView.cpp
LRESULT CALLBACK WindowFunctionViewProc(HWND, UINT, WPARAM, LPARAM);  // win/views/WindowFunctionView.cpp

// Starts the display thread, which creates the three graph views.
void startDisplayThread();                                           // win/app/DisplayThread.cpp

#endif
