#include "core/panel/UnsavedRecording.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/panel/SelectionState.h"

namespace {

std::vector<bool> heard;

TEST(UnsavedRecording, TheFlagFollowsRecordingsAndSavesAndTellsOnlyChanges)
{
    resetUnsavedRecording();
    heard.clear();
    setUnsavedRecordingListener([](bool unsaved) { heard.push_back(unsaved); });
    EXPECT_FALSE(hasUnsavedRecording());
    markSoundSaved();  // a file loaded at start: no change
    markRecordingUnsaved();
    EXPECT_TRUE(hasUnsavedRecording());
    markRecordingUnsaved();  // recorded again over it: still one unsaved recording
    markSoundSaved();
    EXPECT_FALSE(hasUnsavedRecording());
    EXPECT_EQ(heard, (std::vector<bool>{true, false}));
    resetUnsavedRecording();
}

TEST(UnsavedRecording, OnlyAnUnsavedRecordingAsksAndNotWhileANewOneIsMade)
{
    for (Activity activity : {Activity::Idle, Activity::Playing, Activity::Drawing, Activity::Loading, Activity::Saving}) {
        EXPECT_TRUE(asksBeforeLeavingSound(true, activity)) << static_cast<int>(activity);
        EXPECT_FALSE(asksBeforeLeavingSound(false, activity)) << static_cast<int>(activity);
    }
    EXPECT_FALSE(asksBeforeLeavingSound(true, Activity::Recording));
    EXPECT_FALSE(asksBeforeLeavingSound(true, Activity::RecordingLive));
}

TEST(UnsavedRecording, YesGoesOnOnlyOnceWrittenNoGoesOnCancelStays)
{
    using A = SaveQuestionAnswer;
    using S = SaveOutcome;
    for (S saved : {S::Saved, S::Cancelled, S::Failed, S::Busy}) {
        EXPECT_EQ(goesOnAfter(A::Yes, saved), saved == S::Saved);
        EXPECT_TRUE(goesOnAfter(A::No, saved));
        EXPECT_FALSE(goesOnAfter(A::Cancel, saved));
    }
}

}  // namespace
