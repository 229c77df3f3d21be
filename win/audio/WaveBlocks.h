// What the player and the recorder do alike with the wave device: the format
// record they open it with, the state word of a block, and the freeing of
// their blocks. Each worker keeps its own meaning for the state word.
#ifndef KELVARA_WAVE_BLOCKS_H
#define KELVARA_WAVE_BLOCKS_H

#include <windows.h>
#include <mmsystem.h>

#include <cstddef>
#include <cstdint>
#include <thread>

#include "core/audio/SoundBuffer.h"

// How long a reset device may take to hand its blocks back.
constexpr DWORD resetReturnTimeoutMs = 2000;

// The device's record of `format`. The sound keeps an extra-size of 18 that
// no bytes follow; PCM ignores it, but a float format would have the mapper
// read past the record, so the device is told 0.
inline WAVEFORMATEX deviceFormat(const WaveFormat& format)
{
    WAVEFORMATEX wave{};
    wave.wFormatTag = format.formatTag;
    wave.nChannels = format.channels;
    wave.nSamplesPerSec = format.samplesPerSec;
    wave.nAvgBytesPerSec = format.avgBytesPerSec;
    wave.nBlockAlign = format.blockAlign;
    wave.wBitsPerSample = format.bitsPerSample;
    wave.cbSize = 0;
    return wave;
}

// WAVEHDR::dwUser is a block's state word. The device's notification writes
// it on its own thread while the worker reads it, so both sides go through the
// Interlocked functions (pointer-sized, like dwUser itself).
inline void setBlockFlag(WAVEHDR* header, DWORD_PTR flag)
{
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&header->dwUser), reinterpret_cast<PVOID>(flag));
}

// Frees the headers and the blocks they point at, and empties both arrays.
// Only for blocks the device no longer holds.
template <std::size_t Count>
void freeWaveBlocks(WAVEHDR* (&headers)[Count], uint8_t* (&blocks)[Count])
{
    for (std::size_t i = 0; i < Count; ++i) {
        if (headers[i]) {
            headers[i]->lpData = nullptr;
            headers[i]->lpNext = nullptr;
            delete headers[i];
        }
        delete[] blocks[i];
        headers[i] = nullptr;
        blocks[i] = nullptr;
    }
}

// Forgets blocks the device may still write to: a leak is better than the
// device scribbling over memory that has been handed out again.
template <std::size_t Count>
void abandonWaveBlocks(WAVEHDR* (&headers)[Count], uint8_t* (&blocks)[Count])
{
    for (std::size_t i = 0; i < Count; ++i) {
        headers[i] = nullptr;
        blocks[i] = nullptr;
    }
}

// The test hook's slow driver: the block comes back `delayMs` later, from a
// thread of its own, as it would from a driver that lags behind its reset.
template <typename Work>
void handBackLater(uint32_t delayMs, Work work)
{
    std::thread([delayMs, work] {
        Sleep(delayMs);
        work();
    }).detach();
}

#endif
