// The soak: a long, seeded, random sequence of things a person can do with
// Kelvara, some at a person's pace and some as fast as messages go, with a
// check after every action that the program is alive, that both of its GUI
// threads answer within 5 s, that nothing stays "in progress" for ever, and
// that a refused file never costs the loaded sound.
//
// Step k's action and all its numbers come from a generator seeded with the
// seed and k alone, so the same seed gives the same actions whatever the
// program made of the earlier ones.
#ifndef KELVARA_UI_SOAK_H
#define KELVARA_UI_SOAK_H

#include "driver/HostileWavs.h"
#include "driver/Pictures.h"
#include "driver/UiDriver.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace soak {

struct Settings {
    int seconds = 60;
    uint64_t seed = 1;
    std::string label;       // "with a sound server", ...
    std::wstring artifacts;  // folder for screenshots of faults, or empty
};
Settings settingsFromEnvironment();

enum class FileKind { Good, Odd, Refused };

struct SoundFile {
    std::wstring path;
    std::string name;
    FileKind kind = FileKind::Good;
    bool heldOpenWithoutSharing = false;
    uint32_t rate = 0;  // what the panel shows once it is loaded
    uint16_t bits = 0;
};

// Good sounds in every width the program reads, and every hostile file.
std::vector<SoundFile> writeSoundFiles();

struct Totals {
    int actions = 0;
    int humanSpeedActions = 0;
    int machineSpeedActions = 0;
    int hangs = 0;
    int crashes = 0;
    int otherFaults = 0;  // lost sound, stuck activity, unexpected message, refused probe
    int opensLoaded = 0;
    int opensRefused = 0;
    int opensBusy = 0;
    int messagesDismissed = 0;
    int restarts = 0;
    int faults() const { return hangs + crashes + otherFaults; }
};

enum class FaultKind { Hang, Crash, Other };

class Soak {
public:
    Soak(Settings settings, std::vector<SoundFile> files);
    // Runs until the time is up; false when any fault was found.
    bool run();
    const Totals& totals() const { return totals_; }

private:
    // ---- SoakDriver.cpp: the loop, the checks, the faults ----
    bool launch();
    void step(int number);
    void afterAction();
    void fault(FaultKind kind, const std::string& what);
    void note(const std::string& action);
    bool answers(HWND window);
    bool alive();
    void dismissMessages(bool expectFileRefusal = false);
    void watchStatus();
    void probeIdle(const char* when);
    void closeAtTheEnd();

    // ---- SoakActions.cpp: what a person can do ----
    void doAction(std::mt19937_64& rng);
    void openFile(std::mt19937_64& rng, FileKind kind);
    void cancelOpen(std::mt19937_64& rng);
    void clickOrDragWaveform(std::mt19937_64& rng);
    void clickOrDragVoicePrint(std::mt19937_64& rng);
    void moveTrackBar(std::mt19937_64& rng);
    void pickComboEntry(std::mt19937_64& rng);
    void clickRadioOrCheck(std::mt19937_64& rng);
    void pressActivityButton(std::mt19937_64& rng);
    void minimise();
    void restore();
    void aboutBox(std::mt19937_64& rng);
    void pause(std::mt19937_64& rng);

    // Helpers of the actions.
    bool askForOpenDialog(bool byMenu, HWND& dialog);
    bool loadThroughDialog(const std::wstring& path, bool byMenu, bool& refused, bool& busy);
    std::wstring status();
    bool drainUi();

    Settings settings_;
    std::vector<SoundFile> files_;
    Totals totals_;
    std::unique_ptr<ui::KelvaraProcess> app_;
    ui::KelvaraWindows w_;
    bool minimised_ = false;
    int minimisedSteps_ = 0;
    bool humanSpeed_ = true;
    int step_ = 0;
    std::deque<std::string> recent_;  // the last actions, for a fault report
    std::wstring lastStatus_;
    unsigned long long lastStatusChange_ = 0;
    bool failedThisStep_ = false;
    // The driver pressed "●REC" and has not yet seen the panel take a file
    // since: the recording may replace the sound at any moment, so a refused
    // file's "sound unchanged" check would compare with the wrong sound.
    bool recordingMayRun_ = false;
    std::map<std::string, int> actionCounts_;  // how often each kind of action came up
};

// Helpers shared by both files.
// Message boxes of the program: dialogs with the 0xFFFF text, other than the
// open-file dialog and the about box (whose labels use the same id).
std::vector<HWND> messageBoxesOf(DWORD pid);
std::string describe(const std::wstring& text);
ui::Image settledCapture(HWND window);

}  // namespace soak

#endif
