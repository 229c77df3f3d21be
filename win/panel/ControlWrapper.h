// Thin holders for the panel's controls. Every access is a no-op (or -1) while
// the handle is null, so a control missing from the template is harmless.
#ifndef KELVARA_CONTROL_WRAPPER_H
#define KELVARA_CONTROL_WRAPPER_H

#include <windows.h>
#include <commctrl.h>

#include <cwchar>

struct ControlWrapper {
    HWND handle = nullptr;

    int trackPosition() const
    {
        return handle ? static_cast<int>(SendMessageW(handle, TBM_GETPOS, 0, 0)) : -1;
    }
    int comboSelection() const
    {
        if (!handle) return -1;
        LRESULT index = SendMessageW(handle, CB_GETCURSEL, 0, 0);
        return index == CB_ERR ? -1 : static_cast<int>(index);
    }
    int checkState() const
    {
        return handle ? static_cast<int>(SendMessageW(handle, BM_GETCHECK, 0, 0)) : -1;
    }
    void setInt(int value) const
    {
        wchar_t text[32];
        swprintf(text, 32, L"%d", value);
        setText(text);
    }
    void setDouble(double value) const
    {
        wchar_t text[64];
        swprintf(text, 64, L"%.1f", value);
        setText(text);
    }
    void setText(const wchar_t* text) const
    {
        if (handle) SetWindowTextW(handle, text);
    }
    void enable(bool on) const { EnableWindow(handle, on ? TRUE : FALSE); }
};

// Two buttons of which at most one is checked.
struct RadioGroup {
    static constexpr int capacity = 2;
    int count = 0;
    HWND* buttons = new HWND[capacity]();

    RadioGroup() = default;
    ~RadioGroup() { delete[] buttons; }
    RadioGroup(const RadioGroup&) = delete;
    RadioGroup& operator=(const RadioGroup&) = delete;

    void add(HWND button)
    {
        if (count < capacity) buttons[count++] = button;
    }
    int checkedIndex() const
    {
        for (int i = 0; i < count; ++i)
            if (SendMessageW(buttons[i], BM_GETCHECK, 0, 0) == BST_CHECKED) return i;
        return -1;
    }
    void select(int index) const
    {
        if (index < 0 || index >= count) return;
        for (int i = 0; i < count; ++i)
            SendMessageW(buttons[i], BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
    }
};

// The panel's controls (win/panel/PanelControls.cpp), attached at its
// initialisation.
namespace panelControls {
// Track bars
extern ControlWrapper framePeriodTrack;   // 1003
extern ControlWrapper rejectionTrack;     // 1005
extern ControlWrapper scaleTrack;         // 1007
extern ControlWrapper colorWidthTrack;    // 1015
extern ControlWrapper maxFreqTrack;       // 32794
// Combos
extern ControlWrapper windowCombo;        // 1008
extern ControlWrapper frameLengthCombo;   // 1009
extern ControlWrapper recordRateCombo;    // 1011
extern ControlWrapper recordBitsCombo;    // 1012
extern ControlWrapper recordSecondsCombo; // 1024
// Edits
extern ControlWrapper framePeriodEcho;    // 1010
extern ControlWrapper rejectionEcho;      // 1013
extern ControlWrapper scaleEcho;          // 1014
extern ControlWrapper colorWidthEcho;     // 1016
extern ControlWrapper maxFreqEcho;        // 1017
extern ControlWrapper frameLengthMs;      // 1019
extern ControlWrapper framePeriodMs;      // 1020
extern ControlWrapper sampleRateEdit;     // 1021
extern ControlWrapper bitRateEdit;        // 1022
extern ControlWrapper fileNameEdit;       // 32777
extern ControlWrapper statusLine;         // 32788
// Check boxes
extern ControlWrapper sideGraduateCheck;  // 32792
extern ControlWrapper graduateLineCheck;  // 32793

extern RadioGroup sourceGroup;            // 32779, 32780
extern RadioGroup energyGroup;            // 32786, 32787
extern RadioGroup voicePrintGroup;        // 32784, 32785

extern HWND browseButton;                 // 32778
extern HWND recordButton;                 // 32781
extern HWND stopRecordButton;             // 32782
}

// Gives every wrapper, radio group and plain button handle its control of
// `panel`, and points the status line at the panel's box.
void attachControls(HWND panel);
// After the panel is gone its controls are too; the wrappers fall back to
// doing nothing instead of talking to dead handles.
void detachControls();

#endif
