// Every resource id, control id and command identifier of Kelvara, grouped by
// the window that owns it. Control ids and command ids share one number space:
// a button's id is the command the panel handles, and the program posts some of
// the same numbers itself. Plain #defines, so that windres takes this file too.
#ifndef KELVARA_COMMAND_IDS_H
#define KELVARA_COMMAND_IDS_H

// Resources
#define IDD_ABOUT_BOX          103
#define IDI_ABOUT              107
#define IDI_KELVARA            108
#define IDR_MAIN_MENU          109  // menu and accelerator table share the id
#define IDD_CONTROL_PANEL      129

// Main window (menu and accelerators)
#define IDM_ABOUT              104  // Alt+? and Alt+/ too
#define IDM_EXIT               105
#define IDM_OPEN               32771  // forwarded to the panel; the panel posts it to itself for "..."
// Forwarded to the panel like IDM_OPEN; fixed, since tests post them by number.
#define IDM_SAVE_SOUND         32800  // Ctrl+S
#define IDM_SAVE_PICTURE       32801  // handled by the main window itself: the picture is of its client area
#define IDM_COPY_PICTURE       32802  // Ctrl+C; handled by the main window itself, as 32801
#define IDM_SAVE_NUMBERS       32803
#define IDM_RESET_SETTINGS     32840  // "設定を既定に戻す"
// The recent files at the end of the file menu, first to eighth: fixed ids,
// which tests post by number since another process cannot read a menu under Wine.
#define IDM_RECENT_FIRST       32841
#define IDM_RECENT_LAST        32848
// The "表示" menu, handled by the main window itself. The speakers are
// consecutive, as one radio group.
#define IDM_SHOW_PITCH         32804  // Ctrl+P
#define IDM_SHOW_FORMANTS      32805  // Ctrl+F
#define IDM_SPEAKER_MALE       32806
#define IDM_SPEAKER_FEMALE     32807
#define IDM_SPEAKER_CHILD      32808
#define CMD_DISPLAY_THREAD_ENDED 1001 // the display thread's last act; the panel handles it alike

// Waveform view (WaveDraw)
#define CMD_CURSOR_COLUMN      111   // lParam: waveform column 0..550
#define CMD_NEW_SOUND          1002  // lParam: the SoundBuffer; sent, then DFTBuffWait2
#define CMD_SELECTION_CHANGED  32789 // same number as the panel's refresh: lParam ignored here

// Commands to the graph views
#define CMD_FRAME              1004  // lParam: a DftEngine
#define CMD_RESET_COLUMN       1006  // voice print: next column := 0
#define CMD_VOICEPRINT_CURSOR  1018  // to SPECTDraw: lParam = voice-print column of the cursor
#define CMD_REBUILD_AXIS       32792 // to SPECTDraw; the same number as the SideGraduate check box
#define CMD_DRAW_WINDOW_SHAPE  32790 // to WinFunc: lParam = windowKind
#define CMD_REBUILD_COLOR_SCALE 32791 // to ColorSample
#define CMD_SETTINGS_CHANGED   1040  // to the readout line: show the resolution anew if no view is under the mouse
#define CMD_VOICE_NUMBERS      1042  // to SPECTDraw: lParam = the run's VoiceNumbers, taken at once; with code 1 a new'ed one the view deletes
#define CMD_FRAME_VOICE        1043  // to SPECTRAMDraw, before the cursor run's frame: lParam = its VoiceColumn, taken at once
#define CMD_OVERLAYS_CHANGED   1041  // to SPECTDraw and SPECTRAMDraw: the overlays' switches or the run's voice numbers changed
#define CMD_FORGET_ANALYSIS    1049  // to SPECTDraw and SPECTRAMDraw (sent): a new sound; back to the empty picture, kept numbers dropped
#define CMD_LIVE_TRACE         1060  // to WaveDraw while recording: lParam waveform columns in (win/base/LiveView.h); 0 starts again
#define CMD_INPUT_LEVEL        1061  // to the readout line: lParam 1 shows the input level (LiveView.h), 0 ends it

// Control panel: commands it receives from views and workers
#define CMD_FRAME_AT_COLUMN    1017  // from SPECTDraw, lParam = column; also the max-frequency echo edit's id
#define CMD_CURSOR_RUN         1018  // from WaveDraw (sent), lParam 1 = click, 2 = drag
#define CMD_RECORDING_DONE     1025
#define CMD_PLAYING_DONE       1026
#define CMD_SPEAKER_CHANGED    1044  // to the panel: measure the last run's formants again with the speaker's ceiling
#define CMD_OPEN_PATH          1027  // to the panel: open the path handed to requestOpenPath (also once the views exist)
#define CMD_REFRESH            32789 // lParam: the refresh kind, a RefreshKind (core/panel/Activity.h)

// Control panel (dialog 129) controls
#define IDC_FRAME_PERIOD       1003  // track bar 1..16
#define IDC_REJECTION          1005  // track bar 1..10
#define IDC_SCALE              1007  // track bar 5..25
#define IDC_WINDOW_FUNCTION    1008  // combo
#define IDC_FRAME_LENGTH       1009  // combo
#define IDC_FRAME_PERIOD_ECHO  1010
#define IDC_RECORD_RATE        1011  // combo
#define IDC_RECORD_BITS        1012  // combo
#define IDC_REJECTION_ECHO     1013
#define IDC_SCALE_ECHO         1014
#define IDC_COLOR_WIDTH        1015  // track bar 10..20; also posted by the panel to itself
#define IDC_COLOR_WIDTH_ECHO   1016
#define IDC_MAX_FREQ_ECHO      1017  // shares its number with CMD_FRAME_AT_COLUMN
#define IDC_FRAME_LENGTH_MS    1019
#define IDC_FRAME_PERIOD_MS    1020
#define IDC_SAMPLE_RATE        1021
#define IDC_BIT_RATE           1022
#define IDC_DRAW               1023  // "描画": the voice-print run
#define IDC_RECORD_SECONDS     1024  // combo
#define IDC_PLAY               32774
#define IDC_PLAY_ALL           32775
#define IDC_STOP               32776
#define IDC_FILE_NAME          32777
#define IDC_BROWSE             32778  // "...": posts IDM_OPEN
#define IDC_SOURCE_FILE        32779
#define IDC_SOURCE_RECORD      32780
#define IDC_RECORD             32781
#define IDC_STOP_RECORD        32782
#define IDC_COLOR              32784
#define IDC_MONO               32785
#define IDC_LINEAR             32786
#define IDC_LOG                32787
#define IDC_STATUS             32788
#define IDC_SIDE_GRADUATE      32792
#define IDC_GRADUATE_LINE      32793
#define IDC_MAX_FREQ           32794  // track bar -10..10
// Sunken frames that mark where WinFunc and ColorSample sit over the panel;
// the two views find their real rectangles through these ids.
#define IDC_WINFUNC_FRAME      1030
#define IDC_COLOR_SAMPLE_FRAME 1031
#define IDC_READOUT            1032  // the static text of the readout line

// What a benchmark may ask the running program from outside, by a sent
// message whose result is the answer (WM_APP + 0x101 and on).
#define MSG_PAINT_COUNT        0x8101 // to a view: the WM_PAINTs it has handled since it was made
#define MSG_LOAD_TIMES         0x8102 // to the panel: wParam 0 read, 1 decode, 2 waveform: microseconds the last load spent on it
#define MSG_RUN_TIMES          0x8103 // to the panel: wParam 0 analysis, 1 waiting for the views, 2 posting frames, 3 pitch and formants: microseconds the last voice print spent on it
#define MSG_LIVE_TIMES         0x8110 // to the panel: the last recording's block-to-screen latency, wParam 0 median, 1 95th percentile (microseconds), 2 columns timed
// Posted by the recorder's notification to the panel: wParam bytes recorded so far, lParam when the block came back (steady-clock microseconds).
#define MSG_LIVE_BLOCK         0x8111
// Posted to a view by the program itself, lParam an event the view sets: the
// view's thread has handled everything posted to it before (a batch run
// waits for that before it takes the picture).
#define MSG_QUEUE_MARK         0x8104

#endif
