#include "core/audio/AudioBlocks.h"
#include "core/base/TestHooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

WaveFormat pcm(uint32_t rate, uint16_t bits, uint16_t channels)
{
    WaveFormat f{};
    f.formatTag = WaveFormatPcm;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.bitsPerSample = bits;
    f.blockAlign = static_cast<uint16_t>(bits / 8 * channels);
    f.avgBytesPerSec = rate * f.blockAlign;
    f.extraSize = 18;
    return f;
}

// Walks a play range the way the player thread does and returns the length
// of every block it would write.
std::vector<uint32_t> playBlocks(uint32_t position, uint32_t end, uint32_t block)
{
    std::vector<uint32_t> lengths;
    for (;;) {
        PlayBlock b = nextPlayBlock(position, end, block);
        lengths.push_back(b.length);
        if (b.last) return lengths;
        position += block;
    }
}

}  // namespace

struct BlockSizeCase {
    uint32_t rate;
    uint16_t bits;
    uint16_t channels;
    uint32_t expected;
};

TEST(AudioBlocks, BlockHoldsAbout46MillisecondsInEveryFormat)
{
    // floor(avg * 1024 / 22050) worked by hand, then up to a whole frame.
    const BlockSizeCase cases[] = {
        {22050, 8, 1, 1024},  {22050, 16, 1, 2048}, {44100, 8, 1, 2048},
        {44100, 16, 1, 4096}, {12000, 16, 2, 2232},  // 2229 rounded up to a multiple of 4
        {12000, 16, 1, 1114},                         // 1114.56 -> 1114, already even
        {8000, 8, 1, 371},                            // 371.5 -> 371
        {11025, 16, 2, 2048},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz " << c.bits << " bit x" << c.channels);
        EXPECT_EQ(blockBytes(pcm(c.rate, c.bits, c.channels)), c.expected);
    }
}

TEST(AudioBlocks, BrokenFormatsStillGiveANonEmptyBlock)
{
    WaveFormat noAlign = pcm(22050, 8, 1);
    noAlign.blockAlign = 0;
    EXPECT_EQ(blockBytes(noAlign), 1024u);

    WaveFormat silentRate = pcm(22050, 16, 2);
    silentRate.avgBytesPerSec = 0;
    EXPECT_EQ(blockBytes(silentRate), 4u);  // one frame, never 0
}

TEST(AudioBlocks, RecordFormatAndCapacity)
{
    const WaveFormat f = recordFormat(44100, 16);
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.avgBytesPerSec, 88200u);
    EXPECT_EQ(f.blockAlign, 2);
    EXPECT_EQ(f.extraSize, 18);
    EXPECT_EQ(recordCapacity(f, 20), 1764000u);
    EXPECT_EQ(recordCapacity(recordFormat(22050, 8), 8), 176400u);
    EXPECT_EQ(recordCapacity(f, 0), 0u);
}

TEST(AudioBlocks, EightSecondSoundPlaysAs172FullBlocksAndOneOf272Bytes)
{
    const uint32_t size = 176400;
    const auto lengths = playBlocks(0, clampPlayEnd(playToEnd, size), blockBytes(pcm(22050, 8, 1)));
    ASSERT_EQ(lengths.size(), 173u);
    for (size_t i = 0; i < 172; ++i) ASSERT_EQ(lengths[i], 1024u) << "block " << i;
    EXPECT_EQ(lengths.back(), 272u);
}

TEST(AudioBlocks, ExactMultipleOfTheBlockEndsWithAFullBlock)
{
    const auto lengths = playBlocks(0, 10 * 1024, 1024);
    ASSERT_EQ(lengths.size(), 10u);
    EXPECT_EQ(lengths.back(), 1024u);
}

TEST(AudioBlocks, LastBlockNeverReadsPastTheEnd)
{
    EXPECT_EQ(nextPlayBlock(500, 500, 1024).length, 0u);    // empty range
    EXPECT_TRUE(nextPlayBlock(500, 500, 1024).last);
    EXPECT_EQ(nextPlayBlock(600, 500, 1024).length, 0u);    // position beyond the end
    const PlayBlock nearTop = nextPlayBlock(0xFFFFFF00u, 0xFFFFFFFFu, 1024);  // sum would wrap in 32 bits
    EXPECT_TRUE(nearTop.last);
    EXPECT_EQ(nearTop.length, 0xFFu);
}

struct RangeCase {
    const char* name;
    uint32_t a, b, dataSize;
    uint16_t align;
    uint32_t position, end;
};

TEST(AudioBlocks, SelectionPlayRanges)
{
    // Offsets worked out by hand: 176400 / 551 = 320.1452 bytes per column.
    const RangeCase cases[] = {
        {"a = b plays to the end", 275, 275, 176400, 1, 88039, playToEnd},
        {"no selection plays everything", 0, 0, 176400, 1, 0, playToEnd},
        {"ordered", 100, 300, 176400, 1, 32014, 96043},
        {"reversed is ordered", 300, 100, 176400, 1, 32014, 96043},
        {"end at byte 0 plays to the end", 0, 1, 500, 1, 0, playToEnd},
        // 352800 / 551 * 275 = 176079.85 -> 88039 frames of 2 bytes
        {"16-bit mono", 275, 275, 352800, 2, 176078, playToEnd},
        // 705600 / 551 * 275 = 352159.71 -> 88039 frames of 4 bytes
        {"16-bit stereo", 275, 275, 705600, 4, 352156, playToEnd},
        // 352800 / 551 * 101 = 64669.33 -> 32334 frames; * 409 = 261878.77 -> 130939
        {"16-bit mono range", 409, 101, 352800, 2, 64668, 261878},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PlayRange r = selectionPlayRange(c.a, c.b, c.dataSize, c.align);
        EXPECT_EQ(r.position, c.position);
        EXPECT_EQ(r.end, c.end);
    }
}

TEST(AudioBlocks, EveryColumnStartsOnAWholeFrame)
{
    const struct {
        uint32_t dataSize;
        uint16_t align;
    } sounds[] = {{352800, 2}, {705602, 4}, {123457, 3}};
    for (const auto& s : sounds) {
        uint32_t previous = 0;
        for (uint32_t x = 0; x < static_cast<uint32_t>(columnCount); ++x) {
            const uint32_t byte = byteOfColumn(x, s.dataSize, s.align);
            ASSERT_EQ(byte % s.align, 0u) << "column " << x << " of " << s.dataSize;
            ASSERT_GE(byte, previous) << "column " << x;
            ASSERT_LT(byte, s.dataSize) << "column " << x;
            previous = byte;
        }
    }
}

TEST(AudioBlocks, CursorColumnOfBytePosition)
{
    // 55100 bytes: 100 bytes per column; probe the middle of columns.
    EXPECT_EQ(columnOfByte(0, 55100), 0u);
    EXPECT_EQ(columnOfByte(150, 55100), 1u);
    EXPECT_EQ(columnOfByte(27550, 55100), 275u);
    EXPECT_EQ(columnOfByte(55050, 55100), 550u);
    EXPECT_EQ(columnOfByte(55100, 55100), 550u);  // the very end stays on the view
    EXPECT_EQ(columnOfByte(1000, 0), 0u);         // no sound, no division by 0
}

namespace {

// The end of every block of a play range, walked as the player thread walks
// it (an empty last block is not written, so it has no end).
std::vector<uint32_t> playBlockEnds(uint32_t position, uint32_t end, uint32_t block)
{
    std::vector<uint32_t> ends;
    for (;;) {
        const PlayBlock b = nextPlayBlock(position, end, block);
        if (b.length > 0) ends.push_back(playBlockEnd(position, b));
        if (b.last) return ends;
        position += block;
    }
}

}  // namespace

TEST(AudioBlocks, ReturnedBlockPutsTheCursorOnItsEnd)
{
    // 8 s of 22050 Hz 8-bit: 176400 bytes, 320.1452 bytes per column.
    const std::vector<uint32_t> ends = playBlockEnds(0, clampPlayEnd(playToEnd, 176400), 1024);
    ASSERT_EQ(ends.size(), 173u);
    EXPECT_EQ(ends[0], 1024u);
    EXPECT_EQ(ends[171], 172u * 1024);
    EXPECT_EQ(ends[172], 176400u);  // the short last block ends on the sound's end
    EXPECT_EQ(columnOfByte(ends[0], 176400), 3u);      // 1024 / 320.1452 = 3.20
    EXPECT_EQ(columnOfByte(ends[85], 176400), 275u);   // 88064 / 320.1452 = 275.07
    EXPECT_EQ(columnOfByte(ends[171], 176400), 550u);  // 176128 / 320.1452 = 550.15
    EXPECT_EQ(columnOfByte(ends[172], 176400), 550u);  // play all ends on the last column
}

TEST(AudioBlocks, SelectionsLastBlockEndsOnTheSelectionsEnd)
{
    // Columns 100 to 300 of 176400 bytes: bytes 32014 to 96043, 62 full
    // blocks and one of 541 bytes.
    const std::vector<uint32_t> ends = playBlockEnds(32014, 96043, 1024);
    ASSERT_EQ(ends.size(), 63u);
    EXPECT_EQ(ends[0], 33038u);
    EXPECT_EQ(ends.back(), 96043u);
    EXPECT_EQ(columnOfByte(ends.back(), 176400), 299u);  // 96043 / 320.1452 = 299.999, the selection's last column
    // An exact multiple of the block ends with a full block on the range's end.
    EXPECT_EQ(playBlockEnds(2048, 2048 + 10 * 1024, 1024).back(), 2048u + 10 * 1024);
    // A range that starts where it ends writes nothing, so no cursor moves.
    EXPECT_TRUE(playBlockEnds(500, 500, 1024).empty());
}

TEST(AudioBlocks, ReturnedHeaderIsFoundInItsSlot)
{
    struct Header {
        int unused;
    };
    Header storage[playerRingSize + 1];
    Header* ring[playerRingSize] = {};
    for (int i = 0; i < playerRingSize; ++i) ring[i] = &storage[(i * 5) % playerRingSize];  // not in address order
    for (int i = 0; i < playerRingSize; ++i) EXPECT_EQ(ringSlotOf(ring, ring[i]), i);
    EXPECT_EQ(ringSlotOf(ring, &storage[playerRingSize]), -1);  // a header of no slot
    EXPECT_EQ(ringSlotOf(ring, static_cast<const Header*>(nullptr)), -1);
    Header* halfBuilt[playerRingSize] = {&storage[0]};  // a ring whose allocation failed after one slot
    EXPECT_EQ(ringSlotOf(halfBuilt, static_cast<const Header*>(nullptr)), -1);
    EXPECT_EQ(ringSlotOf(halfBuilt, &storage[0]), 0);
}

namespace {

// A capture buffer with guard bytes after its capacity, and a source block
// whose bytes tell the fills apart.
struct CaptureFixture {
    std::vector<uint8_t> storage;
    uint32_t capacity;
    std::atomic<uint32_t> recorded{0};
    std::vector<uint8_t> block;

    explicit CaptureFixture(uint32_t capacity) : storage(capacity + 64, 0xEE), capacity(capacity) {}

    bool fill(uint32_t n, uint8_t value)
    {
        block.assign(n, value);
        return appendRecorded(storage.data(), capacity, recorded, block.data(), n);
    }
    bool guardIntact() const
    {
        for (size_t i = capacity; i < storage.size(); ++i)
            if (storage[i] != 0xEE) return false;
        return true;
    }
};

}  // namespace

TEST(AudioBlocks, FullLengthRecordingCutsTheLastFillAtCapacity)
{
    CaptureFixture capture(176400);
    for (int i = 0; i < 172; ++i) ASSERT_TRUE(capture.fill(1024, static_cast<uint8_t>(i))) << "fill " << i;
    EXPECT_FALSE(capture.fill(1024, 0xAB));  // the 173rd: only 272 bytes fit
    EXPECT_EQ(capture.recorded.load(), 177152u);
    EXPECT_EQ(recordedDataSize(capture.capacity, capture.recorded), 176400u);
    EXPECT_TRUE(capture.guardIntact());
    EXPECT_EQ(capture.storage[171 * 1024], 171);
    EXPECT_EQ(capture.storage[172 * 1024], 0xAB);
    EXPECT_EQ(capture.storage[176399], 0xAB);
}

TEST(AudioBlocks, StoppedRecordingKeepsWhatCameIn)
{
    CaptureFixture capture(176400);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(capture.fill(1024, 1));
    EXPECT_TRUE(capture.fill(500, 2));  // the block the reset hands back
    EXPECT_EQ(capture.recorded.load(), 3u * 1024 + 500);
    EXPECT_EQ(recordedDataSize(capture.capacity, capture.recorded), 3572u);
    EXPECT_EQ(capture.storage[3571], 2);
    EXPECT_EQ(capture.storage[3572], 0xEE);
}

TEST(AudioBlocks, BlockArrivingAfterTheBufferFilledCopiesNothing)
{
    CaptureFixture capture(2048);
    capture.fill(1024, 1);
    capture.fill(1500, 2);  // overruns by 476
    EXPECT_FALSE(capture.fill(1024, 3));
    EXPECT_EQ(capture.recorded.load(), 1024u + 1500 + 1024);
    EXPECT_TRUE(capture.guardIntact());
    EXPECT_EQ(capture.storage[2047], 2);
}

// A kept device's late notifications, in the order a slow driver can send
// them, against the gate the recorder closes before it hands the capture on.
TEST(NotificationGate, LateNotificationsOfAClosedOrOldDeviceTouchNothing)
{
    int oldDevice = 0;
    int newDevice = 0;
    NotificationGate gate;
    EXPECT_FALSE(gate.enter(&oldDevice));  // before the worker listens at all

    gate.open(&oldDevice);
    ASSERT_TRUE(gate.enter(&oldDevice));
    gate.leave();

    gate.close();  // the reset's blocks did not come back in time
    EXPECT_FALSE(gate.enter(&oldDevice));

    gate.open(&newDevice);  // the next recording, while the old device is kept
    EXPECT_FALSE(gate.enter(&oldDevice));
    EXPECT_FALSE(gate.enter(nullptr));
    ASSERT_TRUE(gate.enter(&newDevice));
    gate.leave();
    gate.close();  // nothing inside: returns at once
}

TEST(NotificationGate, CloseWaitsForTheAppendInProgressAndNoneFollows)
{
    int device = 0;
    NotificationGate gate;
    gate.open(&device);
    std::vector<uint8_t> capture(4096, 0);
    std::atomic<uint32_t> recorded{0};
    std::atomic<bool> firstInside{false};
    std::atomic<bool> stop{false};

    // The device's notification thread: appends one block each time it is let in.
    std::thread notifications([&] {
        std::vector<uint8_t> block(64, 0x5A);
        while (!stop.load()) {
            if (!gate.enter(&device)) continue;
            firstInside = true;
            appendRecorded(capture.data(), static_cast<uint32_t>(capture.size()), recorded, block.data(),
                           static_cast<uint32_t>(block.size()));
            gate.leave();
        }
    });
    while (!firstInside.load()) std::this_thread::yield();

    gate.close();
    // What the worker now hands to the sound must stay as it is, however
    // long the device goes on calling.
    const uint32_t handedOn = recorded.load();
    const std::vector<uint8_t> contents = capture;
    for (int i = 0; i < 2000; ++i) std::this_thread::yield();
    stop = true;
    notifications.join();
    EXPECT_EQ(recorded.load(), handedOn);
    EXPECT_EQ(capture, contents);
    EXPECT_GT(handedOn, 0u);
}

namespace {

// Sets (or, for null, removes) the test hook's variable.
void setBlockDelayVariable(const char* value)
{
    const char* name = "KELVARA_TEST_BLOCK_RETURN_DELAY_MS";
#ifdef _WIN32
    _putenv_s(name, value ? value : "");  // an empty value removes it
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

}  // namespace

TEST(TestHooks, DelayOfReturnedBlocksIsOffUnlessAskedFor)
{
    setBlockDelayVariable(nullptr);
    EXPECT_EQ(testBlockReturnDelayMs(), 0u);
    setBlockDelayVariable("2500");
    EXPECT_EQ(testBlockReturnDelayMs(), 2500u);
    EXPECT_EQ(testFrameDelayMs(), 0u);  // each hook has its own variable
    setBlockDelayVariable("soon");
    EXPECT_EQ(testBlockReturnDelayMs(), 0u);
    setBlockDelayVariable(nullptr);
}
