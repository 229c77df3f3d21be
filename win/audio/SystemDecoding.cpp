// Under Wine, Media Foundation decodes through GStreamer: which formats open
// depends on the GStreamer plugins installed (scripts/install-deps.sh names
// them), not on anything in this file.
#include "win/audio/SystemDecoding.h"

#include <windows.h>
#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <atomic>
#include <mutex>
#include <new>
#include <string>

#include "core/audio/DecodedSound.h"

namespace {

// Owns one reference of a COM object.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* get() const { return object_; }
    T* operator->() const { return object_; }
    T** out()
    {
        reset();
        return &object_;
    }
    void reset()
    {
        if (object_) object_->Release();
        object_ = nullptr;
    }

private:
    T* object_ = nullptr;
};

// COM on this thread for as long as the decode runs. A thread that already
// has another apartment (the user-interface thread, for the clipboard) keeps
// it; the source reader works in either, used synchronously.
class ComOnThisThread {
public:
    ComOnThisThread() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComOnThisThread()
    {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComOnThisThread(const ComOnThisThread&) = delete;
    ComOnThisThread& operator=(const ComOnThisThread&) = delete;

private:
    HRESULT result_;
};

// Media Foundation for the whole process: started by the first decode that
// needs it, shut down with the program's static objects at exit.
class MediaFoundation {
public:
    bool start()
    {
        std::call_once(once_, [this] { started_ = SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE)); });
        return started_;
    }
    ~MediaFoundation()
    {
        // A thread still stuck inside an open would be pulled out from under.
        if (started_ && !openLeftBehind) MFShutdown();
    }

    std::atomic<bool> openLeftBehind{false};

private:
    std::once_flag once_;
    bool started_ = false;
};

MediaFoundation mediaFoundation;

constexpr DWORD firstAudio = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);

// Asks the reader for `subtype` (with `bits` when not 0) out of the first
// audio stream; false when its decoder cannot give it.
bool askFor(IMFSourceReader* reader, const GUID& subtype, UINT32 bits)
{
    ComRef<IMFMediaType> wanted;
    if (FAILED(MFCreateMediaType(wanted.out()))) return false;
    wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
    wanted->SetGUID(MF_MT_SUBTYPE, subtype);
    if (bits != 0) wanted->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, bits);
    return SUCCEEDED(reader->SetCurrentMediaType(firstAudio, nullptr, wanted.get()));
}

// The format the reader now delivers, if it is one the sound can hold.
bool deliveredFormat(IMFSourceReader* reader, DecodedFormat& format)
{
    ComRef<IMFMediaType> current;
    if (FAILED(reader->GetCurrentMediaType(firstAudio, current.out()))) return false;
    GUID subtype{};
    UINT32 channels = 0, rate = 0, bits = 0;
    if (FAILED(current->GetGUID(MF_MT_SUBTYPE, &subtype)) ||
        FAILED(current->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels)) ||
        FAILED(current->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate)) ||
        FAILED(current->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits)))
        return false;
    if (subtype != MFAudioFormat_PCM && subtype != MFAudioFormat_Float) return false;
    format.channels = static_cast<uint16_t>(channels > 0xFFFF ? 0 : channels);
    format.rate = rate;
    format.bits = static_cast<uint16_t>(bits > 0xFFFF ? 0 : bits);
    format.isFloat = subtype == MFAudioFormat_Float;
    return isAcceptedDecodedFormat(format);
}

// The stream's stated length in 100 ns, or 0 when the file does not say.
int64_t statedDuration(IMFSourceReader* reader)
{
    PROPVARIANT value;
    PropVariantInit(&value);
    int64_t duration = 0;
    if (SUCCEEDED(reader->GetPresentationAttribute(static_cast<DWORD>(MF_SOURCE_READER_MEDIASOURCE), MF_PD_DURATION,
                                                   &value)) &&
        value.vt == VT_UI8)
        duration = static_cast<int64_t>(value.uhVal.QuadPart);
    PropVariantClear(&value);
    return duration;
}

// Appends the bytes of one decoded sample (a block of frames).
bool appendSample(IMFSample* sample, DecodedSoundAssembler& assembler)
{
    ComRef<IMFMediaBuffer> buffer;
    if (FAILED(sample->ConvertToContiguousBuffer(buffer.out()))) return false;
    BYTE* bytes = nullptr;
    DWORD length = 0;
    if (FAILED(buffer->Lock(&bytes, nullptr, &length))) return false;
    const bool appended = assembler.append(bytes, length);
    buffer->Unlock();
    return appended;
}

bool readAll(IMFSourceReader* reader, int64_t duration, DecodedSoundAssembler& assembler, DecodeProgress* progress)
{
    for (;;) {
        if (progress && progress->stop.load()) return false;
        DWORD flags = 0;
        LONGLONG time = 0;
        ComRef<IMFSample> sample;
        if (FAILED(reader->ReadSample(firstAudio, 0, nullptr, &flags, &time, sample.out()))) return false;
        if (flags & MF_SOURCE_READERF_ERROR) return false;
        // A format that changes half-way would mix two layouts in one block.
        if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) return false;
        if (sample.get() && !appendSample(sample.get(), assembler)) return false;
        if (progress) progress->percent = progressPercent(time, duration);
        if (flags & MF_SOURCE_READERF_ENDOFSTREAM) return true;
    }
}

// The media source of the file at `path`, found by its content: a file
// whose name says something else (an MP3 called .wav) is still tried.
bool openSource(const wchar_t* path, ComRef<IMFMediaSource>& source)
{
    ComRef<IMFSourceResolver> resolver;
    if (FAILED(MFCreateSourceResolver(resolver.out()))) return false;
    MF_OBJECT_TYPE type = MF_OBJECT_INVALID;
    ComRef<IUnknown> object;
    const DWORD flags = MF_RESOLUTION_MEDIASOURCE | MF_RESOLUTION_CONTENT_DOES_NOT_HAVE_TO_MATCH_EXTENSION_OR_MIME_TYPE;
    if (FAILED(resolver->CreateObjectFromURL(path, flags, nullptr, &type, object.out()))) return false;
    return SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(source.out())));
}

// Wine 8's GStreamer bridge now and then never returns from opening a file
// (seen with AIFF, which is therefore read by Kelvara itself: one open in a
// few hung, in a process where the others took milliseconds, and at times
// every later open hung too). So the opening runs on a thread of its own,
// and one that has not come back in time is left to itself and the open
// tried once more; a decoder that stays stuck gives the open failure
// message instead of a window that never answers again. The attempt is shared by that thread and its caller; the
// last of the two to let go frees it, and the source with it.
struct OpenAttempt {
    std::wstring path;
    IMFMediaSource* source = nullptr;
    bool opened = false;
    HANDLE done = nullptr;  // set by the opening thread when it has finished
    std::atomic<int> holders{2};

    void letGo()
    {
        if (--holders > 0) return;
        if (source) {
            source->Shutdown();
            source->Release();
        }
        if (done) CloseHandle(done);
        delete this;
    }
};

DWORD WINAPI openingThread(void* parameter)
{
    auto* attempt = static_cast<OpenAttempt*>(parameter);
    {
        ComOnThisThread com;
        ComRef<IMFMediaSource> source;
        attempt->opened = openSource(attempt->path.c_str(), source);
        if (attempt->opened) {
            attempt->source = source.get();
            attempt->source->AddRef();
        }
    }
    SetEvent(attempt->done);
    attempt->letGo();
    return 0;
}

// Time an open may take before it is given up and tried again; opening
// takes milliseconds, and the first, which loads the decoders, well under a
// second.
constexpr DWORD openingBoundMs = 10000;
constexpr int openingAttempts = 2;

bool openSourceInTime(const wchar_t* path, ComRef<IMFMediaSource>& source, DecodeProgress* progress)
{
    for (int i = 0; i < openingAttempts; ++i) {
        if (progress && progress->stop.load()) return false;
        auto* attempt = new (std::nothrow) OpenAttempt;
        if (!attempt) return false;
        attempt->path = path;
        attempt->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE thread = attempt->done ? CreateThread(nullptr, 0, openingThread, attempt, 0, nullptr) : nullptr;
        if (!thread) {
            attempt->holders = 1;
            attempt->letGo();
            return false;
        }
        CloseHandle(thread);
        const bool finished = WaitForSingleObject(attempt->done, openingBoundMs) == WAIT_OBJECT_0;
        if (finished) {
            const bool opened = attempt->opened;
            if (opened) {
                *source.out() = attempt->source;
                attempt->source = nullptr;  // the reference is the caller's now
            }
            attempt->letGo();
            return opened;
        }
        mediaFoundation.openLeftBehind = true;
        attempt->letGo();
    }
    return false;
}

struct SourceShutdown {
    IMFMediaSource* source;
    ~SourceShutdown() { source->Shutdown(); }
};

}  // namespace

bool decodeWithSystem(const wchar_t* path, SoundBuffer& target, DecodeProgress* progress)
{
    ComOnThisThread com;
    if (!mediaFoundation.start()) return false;

    ComRef<IMFMediaSource> source;
    if (!openSourceInTime(path, source, progress)) return false;
    // Shut down by hand when the decode ends: Wine's reader leaves the
    // source running when it is released, and the decoding threads of the
    // sources left so pile up until a later open hangs.
    SourceShutdown shutdown{source.get()};
    ComRef<IMFSourceReader> reader;
    if (FAILED(MFCreateSourceReaderFromMediaSource(source.get(), nullptr, reader.out()))) return false;
    // Only the sound is read: a video's pictures would be decoded for nothing.
    reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
    if (FAILED(reader->SetStreamSelection(firstAudio, TRUE))) return false;
    if (!askFor(reader.get(), MFAudioFormat_PCM, 16) && !askFor(reader.get(), MFAudioFormat_Float, 32)) return false;

    DecodedFormat format;
    if (!deliveredFormat(reader.get(), format)) return false;
    const int64_t duration = statedDuration(reader.get());
    DecodedSoundAssembler assembler;
    if (!assembler.begin(format, framesIn(duration, format.rate))) return false;
    if (!readAll(reader.get(), duration, assembler, progress)) return false;
    if (progress) progress->percent = 100;
    return assembler.finish(target);
}
