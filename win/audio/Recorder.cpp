// The recorder thread: captures mono PCM from the default input device into
// the job's capture buffer, block by block (about 46 ms each), until the
// buffer is full or the panel clears `running`; then decodes it and posts
// 1025. The panel moves the capture into the program's sound when it handles
// 1025, so a recording that cannot start leaves the loaded sound alone.
//
// The wave-in notification may not call back into the wave-in functions (the
// platform forbids it and it can deadlock), so it only appends the block,
// marks it for refilling and sets `blockFilled`; this thread hands it back to
// the device.
#include "win/audio/AudioJobs.h"
#include "win/audio/WaveBlocks.h"

#include <new>

#include "core/base/CommandIds.h"
#include "core/panel/Parameters.h"
#include "win/base/LiveView.h"
#include "win/base/WindowRegistry.h"
#include "core/base/TestHooks.h"

namespace {

// WAVEHDR::dwUser of a capture block, written by the notification and read by
// this thread.
const DWORD_PTR blockBusy = 0;    // on the device, or not wanted back
const DWORD_PTR blockRefill = 1;  // appended; hand it back to the device

// Reads the flag and puts `replacement` in its place in one step.
DWORD_PTR exchangeFlag(WAVEHDR* header, DWORD_PTR replacement)
{
    return reinterpret_cast<DWORD_PTR>(InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&header->dwUser),
                                                                  reinterpret_cast<PVOID>(replacement)));
}

// A filled block is back: append it and mark it for refilling, unless the
// device is one the worker has let go of, whose capture may have moved on.
void blockReturned(RecorderJob& job, HWAVEIN device, WAVEHDR* header)
{
    if (!job.gate.enter(device)) return;
    SoundBuffer& capture = job.capture;
    // The device hands the blocks back in the order it filled them, one
    // notification at a time, so the appends keep the sound in order.
    const bool room = appendRecorded(capture.data, capture.dataSize, capture.recordedBytes,
                                     reinterpret_cast<const uint8_t*>(header->lpData), header->dwBytesRecorded);
    const bool more = room && job.running.load() != 0;
    // The panel draws what came in (win/panel/LiveRecording.h). PostMessage
    // is one of the few calls a wave notification may make.
    PostMessageW(job.notifyWindow, MSG_LIVE_BLOCK, capture.recordedBytes.load(), static_cast<LPARAM>(steadyMicroseconds()));
    if (more) setBlockFlag(header, blockRefill);
    // The append is complete: from here the thread may re-add, unprepare or
    // decode.
    --job.blocksOnDevice;
    if (more)
        SetEvent(job.blockFilled);
    else
        job.running.store(0);
    job.gate.leave();
}

void CALLBACK recorderNotification(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
    if (message != WIM_DATA) return;
    auto* job = reinterpret_cast<RecorderJob*>(instance);
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    if (job->returnDelayMs != 0 && job->running.load() == 0) {
        handBackLater(job->returnDelayMs, [job, device, header] { blockReturned(*job, device, header); });
        return;
    }
    blockReturned(*job, device, header);
}

bool waitForBlocks(const RecorderJob& job)
{
    const ULONGLONG start = GetTickCount64();
    while (job.blocksOnDevice.load() != 0) {
        if (GetTickCount64() - start >= resetReturnTimeoutMs) return false;
        Sleep(5);
    }
    return true;
}

// Resets and closes the device; its blocks are unprepared only once they are
// back. A device that keeps blocks is shut out by the gate and left open with
// them (closing would fail, and freeing them would let the driver write into
// memory handed out again): a leak, which the status line reports. False then.
bool releaseDevice(RecorderJob& job)
{
    waveInReset(job.waveIn);
    const bool returned = waitForBlocks(job);
    job.gate.close();
    if (!returned) {
        abandonWaveBlocks(job.headers, job.blocks);
        return false;
    }
    for (WAVEHDR* header : job.headers)
        if (header && (header->dwFlags & WHDR_PREPARED)) waveInUnprepareHeader(job.waveIn, header, sizeof(WAVEHDR));
    waveInClose(job.waveIn);
    return true;
}

void showDeviceBusy() { MessageBoxW(nullptr, L"入力デバイスがすでに使用されている可能性があります!", L"!", MB_OK); }

bool openDevice(RecorderJob& job, const WaveFormat& format)
{
    const WAVEFORMATEX wave = deviceFormat(format);
    const MMRESULT result = waveInOpen(&job.waveIn, WAVE_MAPPER, &wave, reinterpret_cast<DWORD_PTR>(&recorderNotification),
                                       reinterpret_cast<DWORD_PTR>(&job), CALLBACK_FUNCTION);
    return result == MMSYSERR_NOERROR;
}

// Empties the capture buffer and gives it room for the whole recording.
bool prepareCapture(SoundBuffer& capture, const WaveFormat& format, uint32_t capacity)
{
    capture.ready = 0;
    capture.release();
    capture.format = format;
    capture.dataSize = 0;
    capture.recordedBytes = 0;
    if (capacity == 0) return false;
    uint8_t* data = new (std::nothrow) uint8_t[capacity];  // SoundBuffer frees with delete[]
    if (!data) return false;
    capture.data = data;
    capture.dataSize = capacity;
    return true;
}

bool addBlock(RecorderJob& job, WAVEHDR* header)
{
    setBlockFlag(header, blockBusy);
    ++job.blocksOnDevice;
    if (waveInPrepareHeader(job.waveIn, header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR &&
        waveInAddBuffer(job.waveIn, header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR)
        return true;
    --job.blocksOnDevice;
    return false;
}

bool startCapture(RecorderJob& job, uint32_t block)
{
    for (int i = 0; i < recorderBlockCount; ++i) {
        job.headers[i] = new (std::nothrow) WAVEHDR{};
        job.blocks[i] = new (std::nothrow) uint8_t[block];
        if (!job.headers[i] || !job.blocks[i]) return false;
        job.headers[i]->lpData = reinterpret_cast<LPSTR>(job.blocks[i]);
        job.headers[i]->dwBufferLength = block;
        job.headers[i]->dwFlags = 0;
        if (!addBlock(job, job.headers[i])) return false;
    }
    return waveInStart(job.waveIn) == MMSYSERR_NOERROR;
}

// Hands each block back once the notification has appended it, until the
// buffer is full or the panel stops the recording.
void captureUntilStopped(RecorderJob& job)
{
    while (job.running.load() == 1) {
        switch (WaitForSingleObject(job.blockFilled, 5)) {
        case WAIT_OBJECT_0:  // blockFilled: a block was appended and there is room for more
            for (WAVEHDR* header : job.headers) {
                if (!header || exchangeFlag(header, blockBusy) != blockRefill) continue;
                if (job.running.load() == 1 && !addBlock(job, header)) job.running.store(0);
            }
            break;
        default:  // timeout: look at `running` again
            break;
        }
    }
}

WorkerOutcome record(RecorderJob& job)
{
    if (waveInGetNumDevs() == 0) return WorkerFailed;  // silently: nothing to record from

    // The previous device was closed, and blocks it kept were abandoned, so
    // what is left here is ours to free.
    freeWaveBlocks(job.headers, job.blocks);
    job.blocksOnDevice = 0;
    if (!job.blockFilled) job.blockFilled = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!job.blockFilled) return WorkerFailed;
    ResetEvent(job.blockFilled);

    const WaveFormat format = recordFormat(job.sampleRate, job.bitsPerSample);
    const uint32_t block = blockBytes(format);
    job.returnDelayMs = testBlockReturnDelayMs();
    if (!openDevice(job, format)) {
        showDeviceBusy();
        return WorkerFailed;
    }
    job.gate.open(job.waveIn);
    if (!prepareCapture(job.capture, format, recordCapacity(format, recordSeconds.load()))) {
        job.gate.close();
        waveInClose(job.waveIn);
        job.capture.release();
        return WorkerFailed;
    }
    if (!startCapture(job, block)) {
        showDeviceBusy();
        releaseDevice(job);
        job.capture.release();
        return WorkerFailed;
    }

    captureUntilStopped(job);
    const bool released = releaseDevice(job);  // blocks under way come back through the notification first

    SoundBuffer& capture = job.capture;
    capture.dataSize = recordedDataSize(capture.dataSize, capture.recordedBytes.load());
    if (!capture.decode()) {
        capture.release();
        return WorkerFailed;
    }
    capture.ready = 1;
    return released ? WorkerFinished : WorkerDeviceKept;
}

}  // namespace

RecorderJob::~RecorderJob()
{
    if (blocksOnDevice.load() == 0) freeWaveBlocks(headers, blocks);
    if (blockFilled) CloseHandle(blockFilled);
}

DWORD WINAPI recorderThread(LPVOID param)
{
    auto& job = *static_cast<RecorderJob*>(param);
    ++busyThreadCount;
    job.outcome = record(job);
    job.running = 0;
    PostMessageW(job.notifyWindow, WM_COMMAND, CMD_RECORDING_DONE, 0);
    --busyThreadCount;
    return 1;
}
