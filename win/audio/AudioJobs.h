// The job records of the two audio workers. The control panel owns one of
// each (static storage), fills it before it starts the thread and afterwards
// writes only its `running` flag; the thread and the device's notification
// read and write the rest.
//
// Words shared between the thread, the device notification and the
// user-interface thread are std::atomic; the free flags of the player's blocks
// live in WAVEHDR::dwUser and are written with the Interlocked functions.
#ifndef KELVARA_AUDIO_JOBS_H
#define KELVARA_AUDIO_JOBS_H

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>

#include "core/audio/AudioBlocks.h"
#include "core/audio/SoundBuffer.h"

// How a worker ended; the panel's completion handler reads it.
enum WorkerOutcome : int {
    WorkerFinished = 0,    // played or recorded as asked (or stopped by the user)
    WorkerFailed = 1,      // no device, or the device would not open or start
    WorkerDeviceKept = 2,  // recorded, but the device kept blocks after its reset and was left open
};

struct PlayerJob {
    HWAVEOUT waveOut = reinterpret_cast<HWAVEOUT>(~uintptr_t{0});
    SoundBuffer* sound = notAllocated<SoundBuffer>();   // borrowed
    WAVEHDR* headers[playerRingSize] = {};
    uint8_t* blocks[playerRingSize] = {};               // headers[i] points at blocks[i]
    std::atomic<LONG> running{0};                        // the panel clears it to stop
    HWND cursorWindow = reinterpret_cast<HWND>(~uintptr_t{0});  // receives 111
    DWORD threadId = 0;
    std::atomic<uint32_t> position{0};                   // next byte to queue
    // Byte offset just past the block in each slot, set before the block is
    // written: the notification reads it to put the cursor on what was heard.
    std::atomic<uint32_t> blockEnds[playerRingSize] = {};
    uint32_t end = 0;                                    // playToEnd: the end of the sound
    std::atomic<int> outcome{WorkerFinished};
    NotificationGate gate;                               // shuts out a kept device's late notifications
    uint32_t returnDelayMs = 0;                          // the test hook's slow driver

    PlayerJob() = default;
    ~PlayerJob();
    PlayerJob(const PlayerJob&) = delete;
    PlayerJob& operator=(const PlayerJob&) = delete;
};

// The recorder hands the device four blocks of about 46 ms in turn. With a
// single block the device has nowhere to put the sound that arrives while the
// filled block is being handed back, and drops it: a click every 46 ms and
// several per cent of the sound lost. With two, a recorder thread held up for
// more than 46 ms on a busy machine (two cores shared with the Wine and X
// servers while the views draw the recording live) now and then left the
// device without a block: a gap. Four give it 140 ms. Set to 1 for the
// single cycling block.
constexpr int recorderBlockCount = 4;

struct RecorderJob {
    HWAVEIN waveIn = reinterpret_cast<HWAVEIN>(~uintptr_t{0});
    WAVEHDR* headers[recorderBlockCount] = {};
    uint8_t* blocks[recorderBlockCount] = {};  // headers[i] points at blocks[i]
    SoundBuffer* sound = nullptr;   // borrowed: receives the recording once it is decoded
    HWND notifyWindow = nullptr;    // receives 1025
    int32_t bitsPerSample = 8;
    uint32_t sampleRate = 22050;
    DWORD threadId = 0;
    std::atomic<LONG> running{0};   // the panel, or a full buffer, clears it
    std::atomic<int> outcome{WorkerFinished};

    // The recording is made here, not in `sound`, so that a recording that
    // cannot start leaves the loaded sound as it was; the panel moves it into
    // `sound` when it handles 1025.
    SoundBuffer capture;
    // Set by the notification when a block has been appended and should go
    // back to the device (its dwUser says which); the thread re-adds it, since
    // the notification must not call the wave-in functions.
    HANDLE blockFilled = nullptr;
    // Blocks on the device or whose notification is still appending; the
    // thread waits for 0 before it unprepares and decodes.
    std::atomic<LONG> blocksOnDevice{0};
    NotificationGate gate;        // closed before the capture is decoded and handed on
    uint32_t returnDelayMs = 0;   // the test hook's slow driver

    RecorderJob() = default;
    ~RecorderJob();
    RecorderJob(const RecorderJob&) = delete;
    RecorderJob& operator=(const RecorderJob&) = delete;
};

// Thread entries; the parameter is the job record.
DWORD WINAPI playerThread(LPVOID job);    // win/audio/Player.cpp
DWORD WINAPI recorderThread(LPVOID job);  // win/audio/Recorder.cpp

// The panel's two job records (win/panel/AudioCommands.cpp).
extern PlayerJob playerJob;
extern RecorderJob recorderJob;

#endif
