// The readout line under the voice print: what lies under the mouse in the
// voice print, the spectrum or the waveform, and the resolution of the
// current settings while the mouse is anywhere else.
//
// The line is a static text control, so that screen readers and tests read
// it, inside a window of its own on the display thread: the views that feed
// it live there too, so a mouse move sets the text without waiting for the
// user-interface thread, even in the middle of a run. The text is set only
// when it changes, so the line does not flicker.
#ifndef KELVARA_READOUT_H
#define KELVARA_READOUT_H

#include <windows.h>

#include <string>

// Creates the line as a child of `parent`, on the display thread.
HWND createReadout(HWND parent);

// The views call this on the display thread, from their mouse moves. Once
// the pointer has left `view`, the line shows the resolution again.
void hoverReadout(HWND view, const std::wstring& text);

// On the display thread, after what a view shows has changed (a run ended, a
// sound came or went): the view under a pointer that has not moved is asked
// for its readout again, as a mouse move would, so the line never speaks of
// what is no longer there.
void refreshReadoutUnderPointer();

#endif
