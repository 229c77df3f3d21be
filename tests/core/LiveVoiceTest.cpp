// The voice of a recording measured while it comes in, block by block as the
// device hands it back: it must never read a sample before it is in, keep
// close behind the picture, and be right about the voice while it grows.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/analysis/LiveColumns.h"
#include "core/analysis/LiveVoice.h"
#include "tests/core/SyntheticVoice.h"

namespace {

// At 44100 Hz linear prediction (Praat's too) puts a pole near F0 in this
// synthetic voice; at 22050 Hz it finds its formants.
constexpr uint32_t rate = 22050;
constexpr uint32_t block = 1024;  // about 46 ms, the recorder's block
constexpr int32_t frameLength = 1024;

// Half a second of silence, a man's /a/ gliding 110 to 160 Hz, half a second of silence.
std::vector<double> recording(voice::Recipe& recipe, double seconds)
{
    recipe.rate = rate;
    recipe.seconds = seconds - 1.0;
    recipe.f0Start = 110.0;
    recipe.f0End = 160.0;
    recipe.vowel = voice::manA;
    // As a real voice is: a little jitter and breath. A perfectly periodic
    // source has F0s where linear prediction (Praat's too) finds a pole
    // near F0 instead of F1.
    recipe.jitter = 0.01;
    recipe.snrDb = 30.0;
    std::vector<double> sound(static_cast<size_t>(0.5 * rate), 0.0);
    const std::vector<double> v = voice::make(recipe);
    sound.insert(sound.end(), v.begin(), v.end());
    sound.resize(static_cast<size_t>(seconds * rate), 0.0);
    return sound;
}

// Copies the recording into `buffer` a block at a time, calling `arrived`
// with the samples in and the columns painted after each block.
template <typename Arrived>
void record(const std::vector<double>& sound, std::vector<double>& buffer, Arrived arrived)
{
    const uint32_t capacity = static_cast<uint32_t>(sound.size());
    for (uint32_t in = 0; in < capacity;) {
        const uint32_t next = std::min(capacity, in + block);
        std::copy(sound.begin() + in, sound.begin() + next, buffer.begin() + in);
        in = next;
        arrived(in, liveColumnsComplete(in, capacity, frameLength));
    }
}

}  // namespace

// What has not come in yet is loud noise here: a frame that read any of it
// would find other pitch candidates or formants, and the numbers would not
// be the finished sound's. The columns are measured at most one behind the
// picture (the windows reach 25 ms past the centre, half a frame 23 ms, and
// the columns lie 36 ms apart).
TEST(LiveVoice, ColumnsWaitForTheirSamplesAndEndAsTheFinishedSoundsNumbers)
{
    voice::Recipe recipe;
    const std::vector<double> sound = recording(recipe, 20.0);
    const uint32_t capacity = static_cast<uint32_t>(sound.size());
    std::vector<double> buffer = voice::whiteNoise(rate, 20.0, 30000.0, 5);
    buffer.resize(capacity);
    LiveVoice live(buffer.data(), capacity, rate, frameLength, speakerMale);

    record(sound, buffer, [&](uint32_t in, int32_t painted) {
        live.catchUp(in, painted);
        ASSERT_LE(live.columnsMeasured(), painted);
        EXPECT_GE(live.columnsMeasured(), painted - 1) << "at sample " << in;
    });
    ASSERT_EQ(live.columnsMeasured(), liveColumnsComplete(capacity, capacity, frameLength));

    auto voice = std::make_unique<VoiceNumbers>();
    live.fill(*voice);
    std::vector<double> centres;
    for (int k = 0; k < voice->columns; ++k) centres.push_back(static_cast<double>(liveFrameStart(k, capacity)) + frameLength / 2);
    FormantSettings man;
    man.ceilingHz = formantCeilingHz(speakerMale);
    const std::vector<double> f0 = trackPitch(sound.data(), capacity, rate, centres.data(), centres.size());
    const std::vector<FormantSet> formants = trackFormants(sound.data(), capacity, rate, centres.data(), centres.size(), man);
    int differ = 0;
    for (int k = 0; k < voice->columns; ++k) {
        differ += voice->column[k].f0Hz != f0[k];
        for (int i = 0; i < formantCount; ++i)
            differ += !(voice->column[k].formantHz[i] == formants[k].hz[i]) && !std::isnan(formants[k].hz[i]);
    }
    EXPECT_EQ(differ, 0) << "numbers that differ from the finished sound's";
}

// Whenever a second more has come in, the columns so far (but the newest
// few, whose pitch path may still settle) are right about the voice: F0
// within 1 %, F1 and F2 within 5 % (60 Hz for F1) where the formants are
// shown, unvoiced and without formants in the leading silence.
TEST(LiveVoice, TheNumbersAreRightWhileTheyGrow)
{
    voice::Recipe recipe;
    const std::vector<double> sound = recording(recipe, 20.0);
    std::vector<double> buffer(sound.size(), 0.0);
    LiveVoice live(buffer.data(), static_cast<uint32_t>(sound.size()), rate, frameLength, speakerMale);
    auto voice = std::make_unique<VoiceNumbers>();

    int blocks = 0, checked = 0;
    record(sound, buffer, [&](uint32_t in, int32_t painted) {
        live.catchUp(in, painted);
        if (++blocks % 22 != 0) return;
        live.fill(*voice);
        ASSERT_EQ(voice->columns, live.columnsMeasured());
        for (int k = 0; k + 3 < voice->columns; ++k) {
            const VoiceColumn& c = voice->column[k];
            const double t = c.centreSeconds - 0.5;  // into the voice
            if (t < -0.05) {
                EXPECT_EQ(c.f0Hz, 0.0) << "column " << k << " in the silence";
                EXPECT_FALSE(formantsShownAt(*voice, k)) << "column " << k << " in the silence";
            } else if (t > 0.05 && t < recipe.seconds - 0.05) {
                const double truth = voice::f0At(recipe, t);
                EXPECT_NEAR(c.f0Hz, truth, 0.01 * truth) << "column " << k << " of " << voice->columns;
                ASSERT_TRUE(formantsShownAt(*voice, k)) << "column " << k << " of " << voice->columns;
                EXPECT_NEAR(c.formantHz[0], recipe.vowel.hz[0], 60.0) << "column " << k << " of " << voice->columns;
                EXPECT_NEAR(c.formantHz[1], recipe.vowel.hz[1], 0.05 * recipe.vowel.hz[1]) << "column " << k << " of " << voice->columns;
                ++checked;
            }
        }
    });
    EXPECT_GT(checked, 4000);  // 19 looks at a growing curve
}
