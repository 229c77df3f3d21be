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
//  - The view draws the frame into its bitmap and sets the event in the paint
//    that shows it (FrameAcknowledgement), or at once when no paint will come.
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
constexpr const wchar_t* voicePrintDoneEventName = L"DFTBuffWait0";  // SPECTDraw painted a column
constexpr const wchar_t* spectrumDoneEventName = L"DFTBuffWait1";    // SPECTRAMDraw painted a spectrum
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

// Whether the system will send `window` a WM_PAINT for what it has just
// invalidated. Not when the main window is minimised or the view is hidden,
// nor when no invalid region was kept (the strip lay outside the window, or
// the system dropped it for a covered window). The views that acknowledge a
// frame in their paint must then acknowledge it at once, or the voice-print
// run waits for ever.
inline bool paintWillFollow(HWND window)
{
    if (IsIconic(GetAncestor(window, GA_ROOT))) return false;
    if (!IsWindowVisible(window)) return false;
    return GetUpdateRect(window, nullptr, FALSE) != FALSE;
}

// A view's acknowledgement of the frames it is handed: after the view has
// drawn a frame into its bitmap it owes the run its event, set in the paint
// that shows the frame. A view that gets no paint (its main window minimised,
// nothing left to paint) acknowledges at once; and since a window can be
// minimised after the frame was drawn but before its paint came, a timer
// looks again while a frame is pending.
class FrameAcknowledgement {
public:
    static constexpr UINT_PTR timerId = 1;

    // Opens this process's event of that name (one of the names above).
    void open(const wchar_t* baseName)
    {
        event_.reset(OpenEventW(EVENT_ALL_ACCESS, TRUE, processEventName(baseName).c_str()));
    }

    // After a frame has been drawn and its strip invalidated; `canShow` is
    // false for a frame that lies outside the window, or one whose drawing
    // is all there is to wait for.
    void frameDrawn(HWND window, bool canShow = true)
    {
        pending_ = true;
        if (!canShow || !paintWillFollow(window))
            acknowledge();
        else
            SetTimer(window, timerId, checkMs, nullptr);
    }
    void painted()
    {
        if (pending_) acknowledge();
    }
    void onTimer(HWND window)
    {
        if (pending_ && !paintWillFollow(window)) acknowledge();
        if (!pending_) KillTimer(window, timerId);
    }

private:
    static constexpr UINT checkMs = 100;

    void acknowledge()
    {
        if (event_) SetEvent(event_);
        pending_ = false;
    }

    ScopedHandle event_;
    bool pending_ = false;
};

#endif
