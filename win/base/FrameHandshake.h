// The hand-over of frames between the user-interface thread, which analyses
// them, and the display thread, whose views draw them.
//
// The protocol. One manual-reset event per view that reads what the panel
// hands it: DFTBuffWait0 for SPECTDraw (a voice-print column), DFTBuffWait1
// for SPECTRAMDraw (a spectrum), DFTBuffWait2 for WaveDraw (a new sound, 1002).
//  - The panel owns them: openFrameEvents at its initialisation, before the
//    display thread creates the views, which open them by name;
//    closeFrameEvents at its close. They start signalled: nothing is pending.
//  - The user-interface thread resets a view's event and posts it a frame
//    (postFrame); a view that is gone can never answer, so its event is set
//    again at once.
//  - The view draws the frame into its bitmap and sets the event at once
//    (FrameAcknowledgement); the paint that shows the bitmap comes later and
//    reads no engine.
//  - Only then may the user-interface thread write the engine that frame was
//    drawn from. It waits with waitServingSentMessages: it must keep serving
//    the messages other threads send it, or a view that sends to it and the
//    wait for that view's acknowledgement would block each other.
#ifndef KELVARA_FRAME_HANDSHAKE_H
#define KELVARA_FRAME_HANDSHAKE_H

#include <windows.h>

#include <string>

#include "win/base/ScopedWin.h"

struct DftEngine;

// The events' names, without the process id that processEventName appends.
constexpr const wchar_t* voicePrintDoneEventName = L"DFTBuffWait0";  // SPECTDraw took a column
constexpr const wchar_t* spectrumDoneEventName = L"DFTBuffWait1";    // SPECTRAMDraw took a spectrum
constexpr const wchar_t* waveformDoneEventName = L"DFTBuffWait2";    // WaveDraw handled 1002

// The name an event of this process goes by: `baseName` with the process id
// appended. Named objects live in the session, so under the bare name a
// second Kelvara would open the first one's events, and its paints would
// release the other's waits while a view still reads the engine.
std::wstring processEventName(const wchar_t* baseName);

// ---- The panel's side: the user-interface thread --------------------------

// The panel's handles of the three events: null before openFrameEvents and
// after closeFrameEvents, which every user of them must allow for.
extern HANDLE voicePrintDoneEvent;  // DFTBuffWait0
extern HANDLE spectrumDoneEvent;    // DFTBuffWait1
extern HANDLE waveformDoneEvent;    // DFTBuffWait2

// Creates the three events, signalled. Called once, at the panel's
// initialisation.
void openFrameEvents();
// Closes them and nulls the handles: a wait on a closed handle could hit a
// reused one.
void closeFrameEvents();

// Resets `taken` and posts `engine` to `view` as a frame (1004). False, with
// `taken` set again, when the post failed (the view is gone).
bool postFrame(HWND view, HANDLE taken, const DftEngine* engine);

// Waits for a manual-reset event (or a thread's end) while still serving
// messages that other threads send to this one (posted input stays queued).
// Returns at once for a null or invalid handle; false only when `timeoutMs`
// passed first.
bool waitServingSentMessages(HANDLE object, DWORD timeoutMs = INFINITE);

// ---- A view's side: the display thread -------------------------------------

// A view's acknowledgement of the frames it is handed: set as soon as the
// view has taken what it needs of the engine into its own back buffer. The
// screen is not waited for: ScreenRefresh shows the back buffer when a
// display refresh comes, and nothing it shows is read from an engine.
class FrameAcknowledgement {
public:
    // Opens this process's event of that name (one of the names above).
    void open(const wchar_t* baseName)
    {
        event_.reset(OpenEventW(EVENT_ALL_ACCESS, TRUE, processEventName(baseName).c_str()));
    }

    // After a frame has been drawn into the view's back buffer: the engine
    // is free again.
    void frameTaken()
    {
        if (event_) SetEvent(event_);
    }

private:
    ScopedHandle event_;
};

#endif
