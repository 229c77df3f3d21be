// The recorder thread: captures mono PCM from the default input device into
// the job's capture buffer, one block of about 46 ms at a time, until the
// buffer is full or the panel clears `running`; then decodes it and posts
// 1025. The panel moves the capture into the program's sound when it handles
// 1025, so a recording that cannot start leaves the loaded sound alone.
//
// The wave-in notification may not call back into the wave-in functions (the
// platform forbids it and it can deadlock), so it only appends the block and
// sets `blockFilled`; this thread hands the block back to the device.
#include "audio/AudioJobs.h"

#include <new>

#include "app/CommandIds.h"
#include "app/Globals.h"
#include "panel/Parameters.h"

namespace {

// How long a reset device may take to hand its block back.
const DWORD resetReturnTimeoutMs = 2000;

void CALLBACK recorderNotification(HWAVEIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
    if (message != WIM_DATA) return;
    auto& job = *reinterpret_cast<RecorderJob*>(instance);
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    SoundBuffer& capture = job.capture;
    const bool room = appendRecorded(capture.data, capture.dataSize, capture.recordedBytes,
                                     reinterpret_cast<const uint8_t*>(header->lpData), header->dwBytesRecorded);
    // The append is complete: from here the thread may re-add, unprepare or
    // decode. Cleared before the event so a re-add cannot be overwritten.
    job.blockOnDevice.store(0);
    if (room && job.running.load() != 0)
        SetEvent(job.blockFilled);
    else
        job.running.store(0);
}

void freeBlock(RecorderJob& job)
{
    if (job.header) {
        job.header->lpData = nullptr;
        job.header->lpNext = nullptr;
        delete job.header;
    }
    delete[] job.block;
    job.header = nullptr;
    job.block = nullptr;
}

bool waitForBlock(const RecorderJob& job)
{
    const ULONGLONG start = GetTickCount64();
    while (job.blockOnDevice.load() != 0) {
        if (GetTickCount64() - start >= resetReturnTimeoutMs) return false;
        Sleep(5);
    }
    return true;
}

// Resets and closes the device; its block is unprepared only once it is back,
// and abandoned (not freed) if it never comes back.
void releaseDevice(RecorderJob& job)
{
    waveInReset(job.waveIn);
    const bool returned = waitForBlock(job);
    if (returned && job.header && (job.header->dwFlags & WHDR_PREPARED))
        waveInUnprepareHeader(job.waveIn, job.header, sizeof(WAVEHDR));
    waveInClose(job.waveIn);
    if (!returned) {
        job.header = nullptr;
        job.block = nullptr;
    }
}

void showDeviceBusy() { MessageBoxW(nullptr, L"入力デバイスがすでに使用されている可能性があります!", L"!", MB_OK); }

bool openDevice(RecorderJob& job, const WaveFormat& format)
{
    WAVEFORMATEX wave{};
    wave.wFormatTag = format.formatTag;
    wave.nChannels = format.channels;
    wave.nSamplesPerSec = format.samplesPerSec;
    wave.nAvgBytesPerSec = format.avgBytesPerSec;
    wave.nBlockAlign = format.blockAlign;
    wave.wBitsPerSample = format.bitsPerSample;
    wave.cbSize = 0;  // PCM: no extra bytes follow
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

bool addBlock(RecorderJob& job)
{
    job.blockOnDevice.store(1);
    if (waveInPrepareHeader(job.waveIn, job.header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR &&
        waveInAddBuffer(job.waveIn, job.header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR)
        return true;
    job.blockOnDevice.store(0);
    return false;
}

bool startCapture(RecorderJob& job, uint32_t block)
{
    job.header = new (std::nothrow) WAVEHDR{};
    job.block = new (std::nothrow) uint8_t[block];
    if (!job.header || !job.block) return false;
    job.header->lpData = reinterpret_cast<LPSTR>(job.block);
    job.header->dwBufferLength = block;
    job.header->dwFlags = 0;
    job.header->dwUser = 0;
    return addBlock(job) && waveInStart(job.waveIn) == MMSYSERR_NOERROR;
}

// Hands the block back each time the notification has appended it, until the
// buffer is full or the panel stops the recording.
void captureUntilStopped(RecorderJob& job)
{
    while (job.running.load() == 1) {
        switch (WaitForSingleObject(job.blockFilled, 5)) {
        case WAIT_OBJECT_0:  // blockFilled: appended, room for more
            if (job.running.load() == 1 && !addBlock(job)) job.running.store(0);
            break;
        default:  // timeout: look at `running` again
            break;
        }
    }
}

WorkerOutcome record(RecorderJob& job)
{
    if (waveInGetNumDevs() == 0) return WorkerFailed;  // silently: nothing to record from

    // The previous device was closed, and a block it kept was abandoned, so
    // what is left here is ours to free.
    freeBlock(job);
    if (!job.blockFilled) job.blockFilled = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!job.blockFilled) return WorkerFailed;
    ResetEvent(job.blockFilled);

    const WaveFormat format = recordFormat(job.sampleRate, job.bitsPerSample);
    const uint32_t block = blockBytes(format);
    if (!openDevice(job, format)) {
        showDeviceBusy();
        return WorkerFailed;
    }
    if (!prepareCapture(job.capture, format, recordCapacity(format, recordSeconds.load()))) {
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
    releaseDevice(job);  // a block under way comes back through the notification first

    SoundBuffer& capture = job.capture;
    capture.dataSize = recordedDataSize(capture.dataSize, capture.recordedBytes.load());
    if (!capture.decode()) {
        capture.release();
        return WorkerFailed;
    }
    capture.ready = 1;
    return WorkerFinished;
}

}  // namespace

RecorderJob::~RecorderJob()
{
    if (blockOnDevice.load() == 0) freeBlock(*this);
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
    return 0;
}
