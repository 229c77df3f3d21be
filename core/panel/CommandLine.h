// What Kelvara.exe is asked to do by its command line, worked out without a
// window: open a file in the window (`FILE`, `/draw FILE`), print the usage
// (`/?`), or draw one file's voice print and write pictures and numbers out
// without a person (`/png`, `/print`, `/csv`, with the panel's settings as
// options). Every value is checked against the panel's own tables
// (PanelTables.h), so an option can ask for exactly what a control can show
// and nothing else; a mistake is a one-line English message, never a value
// quietly put into range.
#ifndef KELVARA_COMMAND_LINE_H
#define KELVARA_COMMAND_LINE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The panel's settings a command line may state, as the control positions
// that stand for them (combo indices, track-bar positions, radio indices,
// check states). An empty value leaves the control as the panel starts (or
// as the remembered settings put it, with /remembered).
struct PanelChoices {
    std::optional<int> frameLengthIndex;     // combo 1009
    std::optional<int> windowIndex;          // combo 1008
    std::optional<int> framePeriodPosition;  // track bar 1003
    std::optional<int> scalePosition;        // track bar 1007
    std::optional<int> rejectionPosition;    // track bar 1005
    std::optional<int> colorWidthPosition;   // track bar 1015
    std::optional<int> maxFreqPosition;      // track bar 32794
    std::optional<int> printMonoMode;        // 0 Color, 1 Mono
    std::optional<int> energyLogMode;        // 0 Linear, 1 Log
    std::optional<int> sideGraduate;         // 0 or 1
    std::optional<int> graduateLine;         // 0 or 1
};

enum class Speaker { Male, Female, Child };

// What is drawn over the voice print besides the analysis itself.
struct OverlayChoices {
    bool pitch = false;
    bool formants = false;
    std::optional<Speaker> speaker;
};

enum class LaunchMode {
    Window,  // the window, with FILE opened (and drawn, with /draw)
    Batch,   // draw FILE and write the outputs, no window shown
    Usage,   // print the usage and end
    Error,   // print `error` and end with usageExitCode
};

struct CommandLine {
    LaunchMode mode = LaunchMode::Window;
    std::wstring error;  // one line, for LaunchMode::Error

    std::wstring path;   // the sound to open or draw ("" for none)
    bool draw = false;   // /draw: the window draws it at once
    bool defaults = false;  // /defaults: start from the panel's defaults, not the remembered settings

    // Batch mode: the files to write (at least one is given).
    std::wstring pngPath;    // /png: the window's picture
    std::wstring printPath;  // /print: the voice print alone, 551 x 280
    std::wstring csvPath;    // /csv: the numbers
    PanelChoices panel;
    std::optional<double> fromSeconds;  // /from; the start of the sound without it
    std::optional<double> toSeconds;    // /to; the end of the sound without it (or 551 periods with /period)
    OverlayChoices overlays;
    bool remembered = false;  // /remembered: the remembered settings first, then the options over them
};

// Exit codes of a batch run and of a refused command line.
constexpr int batchFailedExitCode = 1;
constexpr int usageExitCode = 2;

// `arguments` are the command line's words after the program's name.
//
// A word is an option when it is '/' or '-' followed by letters only (or
// "/?"); anything else is a path, so a Unix path handed to the program under
// Wine ("/home/me/a.wav") is still a path. In the window the first path is
// opened and later ones are ignored, as when several files are dropped on the
// program's icon; a batch run takes exactly one.
CommandLine parseCommandLine(const std::vector<std::wstring>& arguments);

// The text /? prints, lines ending in "\n".
std::wstring usageText();

// The selection a batch run makes, in columns of the waveform view, as a
// press at `startColumn` and a release at `endColumn` would make it (a
// release on the press's column is a click: the frame period then comes from
// its track bar). `error` is set instead when the times do not lie inside the
// sound.
struct SelectionColumns {
    uint32_t startColumn = 0;
    uint32_t endColumn = 0;
    std::wstring error;
};
SelectionColumns selectionColumns(const CommandLine& line, uint32_t sampleCount, uint32_t sampleRate);

// Locale-free decimal: an optional '-', digits, optionally '.' and digits.
// False for anything else (no exponent, no spaces, no "inf").
bool parseDecimal(const std::wstring& text, double& value);

#endif
