// The pitch of a recording measured while it comes in, block by block as the
// device hands it back: it must never read a sample before it is in, keep
// close behind the picture, and be right about the voice while it grows.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/analysis/LiveColumns.h"
#include "core/analysis/LivePitch.h"
#include "tests/core/SyntheticVoice.h"

namespace {

constexpr uint32_t block = 2048;  // about 46 ms at 44100 Hz, the recorder's block

// Half a second of silence, the voice gliding 110 to 220 Hz, half a second of silence.
std::vector<double> recording(voice::Recipe& recipe, double seconds)
{
    recipe.rate = 44100.0;
    recipe.seconds = seconds - 1.0;
    recipe.f0Start = 110.0;
    recipe.f0End = 220.0;
    std::vector<double> sound(static_cast<size_t>(0.5 * recipe.rate), 0.0);
    const std::vector<double> v = voice::make(recipe);
    sound.insert(sound.end(), v.begin(), v.end());
    sound.resize(static_cast<size_t>(seconds * recipe.rate), 0.0);
    return sound;
}

}  // namespace

// What has not come in yet is loud noise here: a frame that read any of it
// would find other candidates, and the path would not be the whole sound's.
TEST(LivePitch, FramesWaitForTheirSamplesAndTheEndIsTheWholeSoundsPath)
{
    voice::Recipe recipe;
    const std::vector<double> sound = recording(recipe, 3.0);
    std::vector<double> buffer = voice::whiteNoise(recipe.rate, 3.0, 30000.0, 5);
    buffer.resize(sound.size());
    const std::vector<double> centres = voice::centres(0.0, static_cast<double>(sound.size() - 1), 551);

    PitchTracker tracker(buffer.data(), buffer.size(), recipe.rate);
    size_t added = 0;
    for (size_t in = 0; in < sound.size();) {
        const size_t next = std::min(sound.size(), in + block);
        std::copy(sound.begin() + static_cast<long>(in), sound.begin() + static_cast<long>(next), buffer.begin() + static_cast<long>(in));
        in = next;
        tracker.samplesArrived(in);
        while (added < centres.size() && tracker.addFrame(centres[added])) ++added;
        ASSERT_EQ(tracker.frameCount(), added);
        // Never far behind: the window reaches 20 ms and the filter a little
        // past the centre, and the centres are 5.4 ms apart.
        if (added < centres.size()) EXPECT_GT(centres[added] + 0.0215 * recipe.rate, static_cast<double>(in)) << "frame " << added << " waits needlessly";
    }
    ASSERT_EQ(added, centres.size());
    EXPECT_EQ(tracker.bestPath(), trackPitch(sound.data(), sound.size(), recipe.rate, centres.data(), centres.size()));
}

// A 20 s recording at 44100 Hz with N = 1024, as the live view draws it.
// Whenever a block comes in, the curve so far is within 1 % of the voice on
// every voiced column but the newest few, unvoiced in the leading silence,
// and at most one column behind the picture.
TEST(LivePitch, TheCurveGrowsRightBehindThePicture)
{
    voice::Recipe recipe;
    const std::vector<double> sound = recording(recipe, 20.0);
    const uint32_t capacity = static_cast<uint32_t>(sound.size());
    const int32_t frameLength = 1024;
    std::vector<double> buffer(capacity, 0.0);
    LivePitch live(buffer.data(), capacity, 44100, frameLength);
    auto voice = std::make_unique<VoiceNumbers>();

    int looks = 0;
    for (uint32_t in = 0; in < capacity;) {
        const uint32_t next = std::min(capacity, in + block);
        std::copy(sound.begin() + in, sound.begin() + next, buffer.begin() + in);
        in = next;
        const int32_t painted = liveColumnsComplete(in, capacity, frameLength);
        live.catchUp(in, painted);
        ASSERT_LE(live.columnsMeasured(), painted);
        EXPECT_GE(live.columnsMeasured(), painted - 1) << "at sample " << in;
        if (++looks % 20 != 0) continue;  // about every second

        live.fill(*voice);
        ASSERT_EQ(voice->columns, live.columnsMeasured());
        for (int k = 0; k + 3 < voice->columns; ++k) {
            const VoiceColumn& c = voice->column[k];
            ASSERT_EQ(c.firstSample, static_cast<uint32_t>(liveFrameStart(k, capacity)));
            const double t = c.centreSeconds - 0.5;  // into the voice
            if (t < -0.05) {
                EXPECT_EQ(c.f0Hz, 0.0) << "column " << k << " in the silence";
            } else if (t > 0.05 && t < recipe.seconds - 0.05) {
                const double truth = voice::f0At(recipe, t);
                EXPECT_NEAR(c.f0Hz, truth, 0.01 * truth) << "column " << k << " with " << voice->columns << " measured";
            }
            EXPECT_TRUE(std::isnan(c.formantHz[0]));
        }
    }
    EXPECT_EQ(live.columnsMeasured(), liveColumnsComplete(capacity, capacity, frameLength));
}
