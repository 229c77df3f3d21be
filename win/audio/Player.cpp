// The player thread: sends a stretch of the sound's raw bytes to the default
// output device in a ring of 16 blocks of about 46 ms, and keeps the waveform
// view's cursor moving with a command 111 for every block that comes back.
//
// The thread never lets go of a block the device still holds: after the last
// block it waits until every block has come back (so 1026 arrives when the
// sound has really ended), and a stop resets the device, which hands every
// block back at once. Only then are the headers unprepared and the device
// closed. A block that never comes back is left allocated rather than freed
// under the device.
#include "win/audio/AudioJobs.h"
#include "win/audio/WaveBlocks.h"

#include <cstring>
#include <new>

#include "core/base/CommandIds.h"
#include "win/base/WindowRegistry.h"
#include "core/base/TestHooks.h"

namespace {

// WAVEHDR::dwUser is the block's free flag, which this thread polls.
const DWORD_PTR blockFree = 0xFFFFFFFF;
const DWORD_PTR blockQueued = 0;

bool isFree(WAVEHDR* header)
{
    PVOID flag = InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&header->dwUser), nullptr, nullptr);
    return reinterpret_cast<DWORD_PTR>(flag) == blockFree;
}

bool allReturned(const PlayerJob& job)
{
    for (WAVEHDR* header : job.headers)
        if (header && !isFree(header)) return false;
    return true;
}

// A block is back: move the cursor and free the slot, unless the device is
// one the worker has let go of. The cursor goes to the end of this block, the
// sound just heard; the fill position runs up to the whole ring ahead of it.
// Blocks that a stop's reset hands back were cut off, not heard to their end,
// so they leave the cursor where the sound stopped.
void blockReturned(PlayerJob& job, HWAVEOUT device, WAVEHDR* header)
{
    if (!job.gate.enter(device)) return;
    const int slot = ringSlotOf(job.headers, header);
    if (slot >= 0 && job.running.load() == 1) {
        const LPARAM column = columnOfByte(job.blockEnds[slot].load(), job.sound->dataSize);
        PostMessageW(job.cursorWindow, WM_COMMAND, CMD_CURSOR_COLUMN, column);
    }
    setBlockFlag(header, blockFree);
    job.gate.leave();
}

void CALLBACK playerNotification(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
    // Runs in the device's notification context: posting a message and
    // writing the flag is all that is allowed here.
    if (message != WOM_DONE) return;
    auto* job = reinterpret_cast<PlayerJob*>(instance);
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    if (job->returnDelayMs != 0 && job->running.load() != 1) {
        handBackLater(job->returnDelayMs, [job, device, header] { blockReturned(*job, device, header); });
        return;
    }
    blockReturned(*job, device, header);
}

bool openDevice(PlayerJob& job, const WaveFormat& format)
{
    const WAVEFORMATEX wave = deviceFormat(format);
    const MMRESULT result = waveOutOpen(&job.waveOut, WAVE_MAPPER, &wave, reinterpret_cast<DWORD_PTR>(&playerNotification),
                                        reinterpret_cast<DWORD_PTR>(&job), CALLBACK_FUNCTION);
    return result == MMSYSERR_NOERROR;
}

bool allocateRing(PlayerJob& job, uint32_t block)
{
    for (int i = 0; i < playerRingSize; ++i) {
        WAVEHDR* header = new (std::nothrow) WAVEHDR{};
        if (!header) return false;
        header->dwUser = blockFree;  // before anything can fail: a half-built ring must read as returned
        job.headers[i] = header;
        job.blocks[i] = new (std::nothrow) uint8_t[block];
        if (!job.blocks[i]) return false;
        header->lpData = reinterpret_cast<LPSTR>(job.blocks[i]);
        header->dwBufferLength = block;
        header->dwFlags = 0;
        if (waveOutPrepareHeader(job.waveOut, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return false;
    }
    return true;
}

void showNoDevice() { MessageBoxW(nullptr, L"再生デバイスが見つかりませんでした。", L"", MB_OK); }

// A file may declare any rate, channel count and byte rate. Wine's PulseAudio
// driver aborts the whole process on a rate it cannot represent (0xFFFFFFFF)
// instead of failing the open, and a byte rate that disagrees with the rest
// would size the blocks from a number the file made up. So the device only
// ever sees formats whose fields agree and lie within what sound cards play.
bool deviceCanTake(const WaveFormat& format)
{
    if (format.channels < 1 || format.channels > 32) return false;
    const uint32_t bits = format.bitsPerSample;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (format.samplesPerSec < 100 || format.samplesPerSec > 768000) return false;
    const uint32_t align = format.channels * (bits / 8);
    return format.blockAlign == align && format.avgBytesPerSec == format.samplesPerSec * align;
}

// Queues the range block by block until its last block is on the device or
// the panel clears `running`. False when the device refused a block.
bool queueRange(PlayerJob& job, uint32_t block)
{
    const SoundBuffer& sound = *job.sound;
    const uint32_t end = clampPlayEnd(job.end, sound.dataSize);
    int index = 0;
    while (job.running.load() == 1) {
        WAVEHDR* header = job.headers[index];
        if (isFree(header)) {
            const uint32_t position = job.position.load();
            const PlayBlock next = nextPlayBlock(position, end, block);
            // An empty last block (a range that starts where it ends) is not
            // written: nothing would come back to wait for on some devices.
            if (next.length > 0) {
                std::memcpy(job.blocks[index], sound.data + position, next.length);
                header->dwBufferLength = next.length;
                job.blockEnds[index].store(playBlockEnd(position, next));
                setBlockFlag(header, blockQueued);
                if (waveOutWrite(job.waveOut, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
                    setBlockFlag(header, blockFree);
                    return false;
                }
            }
            if (next.last) return true;
            index = nextRingIndex(index);
            job.position.store(position + block);
        }
        Sleep(5);
    }
    return true;
}

// Waits, polling every 5 ms, until the device has handed back every block;
// while `honourStop` a cleared `running` ends the wait early.
bool waitForBlocks(const PlayerJob& job, bool honourStop, DWORD timeoutMs)
{
    const ULONGLONG start = GetTickCount64();
    while (!allReturned(job)) {
        if (honourStop && job.running.load() != 1) return false;
        if (timeoutMs != INFINITE && GetTickCount64() - start >= timeoutMs) return false;
        Sleep(5);
    }
    return true;
}

WorkerOutcome play(PlayerJob& job)
{
    if (waveOutGetNumDevs() == 0) {
        showNoDevice();
        return WorkerFailed;
    }
    // The previous run's blocks all came back before its device was closed
    // (or were abandoned), so they are ours to free.
    freeWaveBlocks(job.headers, job.blocks);

    const WaveFormat format = job.sound->format;
    const uint32_t block = blockBytes(format);
    job.returnDelayMs = testBlockReturnDelayMs();
    if (!deviceCanTake(format) || !openDevice(job, format)) {
        showNoDevice();
        return WorkerFailed;
    }
    job.gate.open(job.waveOut);

    bool deviceOk = allocateRing(job, block);
    if (deviceOk) {
        deviceOk = queueRange(job, block);
        // The last block is on its way: let the sound play out, unless the
        // user stops it first.
        if (deviceOk) waitForBlocks(job, true, INFINITE);
    }

    bool returned = allReturned(job);
    if (!returned) {
        waveOutReset(job.waveOut);  // silences at once and hands every block back
        returned = waitForBlocks(job, false, resetReturnTimeoutMs);
    }
    job.gate.close();
    for (WAVEHDR* header : job.headers)
        if (header && (header->dwFlags & WHDR_PREPARED) && isFree(header))
            waveOutUnprepareHeader(job.waveOut, header, sizeof(WAVEHDR));
    // A device that still holds blocks is kept open with them: closing it
    // would fail anyway, and the gate keeps its late returns off the job.
    if (returned)
        waveOutClose(job.waveOut);
    else
        abandonWaveBlocks(job.headers, job.blocks);
    return deviceOk ? WorkerFinished : WorkerFailed;
}

}  // namespace

PlayerJob::~PlayerJob()
{
    // At exit a worker that did not stop in time may still own blocks on the
    // device; those are left to the process's end.
    if (allReturned(*this)) freeWaveBlocks(headers, blocks);
}

DWORD WINAPI playerThread(LPVOID param)
{
    auto& job = *static_cast<PlayerJob*>(param);
    ++busyThreadCount;
    job.outcome = play(job);
    PostMessageW(controlPanel, WM_COMMAND, CMD_PLAYING_DONE, 0);
    --busyThreadCount;
    return 0;
}
