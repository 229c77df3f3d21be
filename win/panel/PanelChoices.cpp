// Settings stated outside the panel (the command line of a batch run) put
// into its controls the way a person's hand puts them there: the control
// first shows the value, then the panel hears of it through the very
// notification the control sends (CBN_SELCHANGE, WM_HSCROLL, BN_CLICKED), so
// what it stores, echoes, enables and redraws is what it would be after the
// person's clicks. The focus is not moved: a program window that nobody
// clicked into has none of its controls focused.
#include "win/panel/PanelCommands.h"

#include <commctrl.h>

#include "core/base/CommandIds.h"
#include "core/panel/CommandLine.h"
#include "win/panel/ControlWrapper.h"

namespace {

void pickEntry(HWND panel, int id, const std::optional<int>& index)
{
    if (!index) return;
    HWND combo = GetDlgItem(panel, id);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(*index), 0);
    SendMessageW(panel, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

// A drag of the thumb that ends at `position`.
void moveThumb(HWND panel, int id, const std::optional<int>& position)
{
    if (!position) return;
    HWND track = GetDlgItem(panel, id);
    SendMessageW(track, TBM_SETPOS, TRUE, *position);
    SendMessageW(panel, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, *position), reinterpret_cast<LPARAM>(track));
}

// `index` 0 chooses `first`, 1 `second`, of a pair of radio buttons.
void chooseRadio(HWND panel, int first, int second, const std::optional<int>& index)
{
    if (!index) return;
    const int chosen = *index == 0 ? first : second;
    CheckRadioButton(panel, first, second, chosen);
    SendMessageW(panel, WM_COMMAND, MAKEWPARAM(chosen, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(panel, chosen)));
}

void setCheck(HWND panel, int id, const std::optional<int>& state)
{
    if (!state) return;
    CheckDlgButton(panel, id, *state ? BST_CHECKED : BST_UNCHECKED);
    SendMessageW(panel, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(panel, id)));
}

}  // namespace

void applyPanelChoices(HWND panel, const PanelChoices& choices)
{
    pickEntry(panel, IDC_FRAME_LENGTH, choices.frameLengthIndex);
    pickEntry(panel, IDC_WINDOW_FUNCTION, choices.windowIndex);
    moveThumb(panel, IDC_FRAME_PERIOD, choices.framePeriodPosition);
    moveThumb(panel, IDC_SCALE, choices.scalePosition);
    moveThumb(panel, IDC_REJECTION, choices.rejectionPosition);
    moveThumb(panel, IDC_COLOR_WIDTH, choices.colorWidthPosition);
    moveThumb(panel, IDC_MAX_FREQ, choices.maxFreqPosition);
    chooseRadio(panel, IDC_COLOR, IDC_MONO, choices.printMonoMode);
    chooseRadio(panel, IDC_LINEAR, IDC_LOG, choices.energyLogMode);
    setCheck(panel, IDC_SIDE_GRADUATE, choices.sideGraduate);
    setCheck(panel, IDC_GRADUATE_LINE, choices.graduateLine);
}
