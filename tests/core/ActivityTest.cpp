#include <gtest/gtest.h>

#include <string>

#include "core/panel/Activity.h"

namespace {

using Worker = ActivityOwner::Worker;
using Dialog = ActivityOwner::Dialog;

// What each command is answered in each situation, as a table: the rules the
// panel kept in seven places before it had one owner.
TEST(Activity, EachCommandIsAnsweredAsTheSituationAllows)
{
    const Answer S = Answer::Start, R = Answer::Refuse, Q = Answer::Requeue;
    struct Case {
        const char* situation;
        void (*set)(ActivityOwner&);
        Activity state;
        Answer play, record, draw, singleFrame, load, saveSound, saveNumbers, savePicture, copyPicture;
    };
    const Case cases[] = {
        {"idle", [](ActivityOwner&) {}, Activity::Idle, S, S, S, S, S, S, S, S, S},
        {"playing", [](ActivityOwner& o) { o.workerStarted(Worker::Player); }, Activity::Playing, R, R, S, S, R, R, S, S, S},
        {"recording", [](ActivityOwner& o) { o.workerStarted(Worker::Recorder); }, Activity::Recording, R, R, S, S, R, R, S, S, S},
        {"recording live", [](ActivityOwner& o) { o.workerStarted(Worker::LiveRecorder); }, Activity::RecordingLive, R, R, R, R, R, R, R, S, S},
        {"drawing", [](ActivityOwner& o) { o.runStarted(); }, Activity::Drawing, R, R, Q, Q, R, R, R, R, R},
        {"drawing while playing", [](ActivityOwner& o) { o.workerStarted(Worker::Player); o.runStarted(); }, Activity::Drawing, R, R, Q, Q, R, R, R, R, R},
        {"open dialog", [](ActivityOwner& o) { o.dialogOpened(Dialog::Load); }, Activity::Loading, S, S, S, S, R, S, S, S, S},
        {"sound save dialog", [](ActivityOwner& o) { o.dialogOpened(Dialog::SaveSound); }, Activity::Saving, S, S, S, S, S, R, S, S, S},
        {"numbers save dialog", [](ActivityOwner& o) { o.dialogOpened(Dialog::SaveNumbers); }, Activity::Saving, S, S, S, S, S, S, R, S, S},
        {"picture save dialog", [](ActivityOwner& o) { o.dialogOpened(Dialog::SavePicture); }, Activity::Saving, S, S, S, S, S, S, S, R, S},
    };
    for (const Case& c : cases) {
        ActivityOwner owner;
        c.set(owner);
        EXPECT_EQ(owner.state(), c.state) << c.situation;
        const Answer expected[] = {c.play, c.record, c.draw, c.singleFrame, c.load, c.saveSound, c.saveNumbers, c.savePicture, c.copyPicture};
        const Command commands[] = {Command::Play, Command::Record, Command::Draw, Command::SingleFrame, Command::Load,
                                    Command::SaveSound, Command::SaveNumbers, Command::SavePicture, Command::CopyPicture};
        for (int i = 0; i < 9; ++i) EXPECT_EQ(owner.mayStart(commands[i]), expected[i]) << c.situation << ", command " << i;
    }
}

// A run started while a player plays ends with the panel playing, not idle:
// going idle would let a second worker start on the same job record.
TEST(Activity, EndingOnePartLeavesTheOthersUnderWay)
{
    ActivityOwner owner;
    owner.workerStarted(Worker::Player);
    owner.runStarted();
    owner.dialogOpened(Dialog::SaveNumbers);
    owner.runEnded();
    EXPECT_EQ(owner.state(), Activity::Playing);
    EXPECT_EQ(owner.mayStart(Command::Play), Answer::Refuse);
    owner.workerEnded();
    EXPECT_EQ(owner.state(), Activity::Saving);
    owner.dialogClosed(Dialog::SaveNumbers);
    EXPECT_EQ(owner.state(), Activity::Idle);
    EXPECT_TRUE(owner.soundFree());
}

TEST(Activity, BusyTextsAreTheStatusLinesOwnAndControlsStayEnabled)
{
    EXPECT_EQ(std::wstring(busyText(Command::Load)), L"Open A File...Busy.");
    EXPECT_EQ(std::wstring(busyText(Command::SaveSound)), L"Save A File...Busy.");
    EXPECT_EQ(std::wstring(busyText(Command::SaveNumbers)), L"Save Numbers...Busy.");
    EXPECT_EQ(std::wstring(busyText(Command::SavePicture)), L"Save A Picture...Busy.");
    EXPECT_EQ(std::wstring(busyText(Command::CopyPicture)), L"Copy A Picture...Busy.");
    EXPECT_EQ(busyText(Command::Play), nullptr);  // refused without a word
    EXPECT_EQ(busyText(Command::Draw), nullptr);

    ActivityOwner owner;
    owner.workerStarted(Worker::LiveRecorder);
    const panelTables::ControlEnabling e = controlEnabling(owner, 1, 0, 1);
    EXPECT_TRUE(e.recordControls && !e.fileControls && e.colorWidth && e.energyControls);
}

}  // namespace
