#include "platform/studio/StudioOutput.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <vector>

#include "core/Trace.h"

namespace studio {

namespace {

float gSilentStep = 0.0f;

// Reads the whole file as 16-bit frames; false when libsndfile can't open it or it has no frames.
bool DecodeFile(const std::string& path, std::vector<short>* samples, int* channels, int* rate, float* seconds)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return false;
    bool ok = info.frames > 0 && info.samplerate > 0 && info.channels > 0;
    if (ok) {
        *channels = info.channels;
        *rate = info.samplerate;
        *seconds = static_cast<float>(static_cast<double>(info.frames) / info.samplerate);
        if (samples) {
            samples->resize(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
            const sf_count_t read = sf_readf_short(file, samples->data(), info.frames);
            samples->resize(static_cast<std::size_t>(read < 0 ? 0 : read) * static_cast<std::size_t>(info.channels));
            ok = read > 0;
        }
    }
    sf_close(file);
    return ok;
}

// ---- Silent ---------------------------------------------------------------------------------------------

class SilentOutput : public Output {
public:
    bool IsDevice() const override { return false; }

    int LoadSound(const std::string& path, float* seconds) override
    {
        int channels = 0, rate = 0;
        float length = 0.0f;
        if (!DecodeFile(path, nullptr, &channels, &rate, &length))
            return 0;
        sounds_[++lastSound_] = length;
        *seconds = length;
        return lastSound_;
    }
    int CreateVoice() override
    {
        voices_[++lastVoice_] = Voice{};
        return lastVoice_;
    }
    void DestroyVoice(int voice) override { voices_.erase(voice); }
    void Play(int voice, int sound, bool loop) override
    {
        auto it = voices_.find(voice);
        auto found = sounds_.find(sound);
        if (it == voices_.end())
            return;
        it->second.playing = found != sounds_.end();
        it->second.length = found != sounds_.end() ? found->second : 0.0;
        it->second.remaining = it->second.length;
        it->second.loop = loop;
    }
    void Stop(int voice) override
    {
        auto it = voices_.find(voice);
        if (it != voices_.end())
            it->second.playing = false;
    }
    void SetLooping(int voice, bool loop) override
    {
        auto it = voices_.find(voice);
        if (it == voices_.end() || it->second.loop == loop)
            return;
        it->second.loop = loop;
        if (!loop)
            it->second.remaining = it->second.length;
    }
    void SetPaused(int voice, bool paused) override
    {
        auto it = voices_.find(voice);
        if (it != voices_.end())
            it->second.paused = paused;
    }
    void SetVoice(int, float, float pitch, bool, const Vector&) override { (void)pitch; }
    bool IsPlaying(int voice) override
    {
        auto it = voices_.find(voice);
        return it != voices_.end() && it->second.playing;
    }
    float PeakAhead(int, float) override { return 0.0f; }
    void SetListener(const Attributes3D&) override {}
    void Update() override
    {
        const auto now = std::chrono::steady_clock::now();
        double dt = gSilentStep > 0.0f ? gSilentStep : std::chrono::duration<double>(now - last_).count();
        last_ = now;
        for (auto& [id, voice] : voices_) {
            if (voice.playing && !voice.paused && !voice.loop) {
                voice.remaining -= dt;
                if (voice.remaining <= 0.0)
                    voice.playing = false;
            }
        }
    }

private:
    struct Voice {
        bool playing = false;
        bool paused = false;
        bool loop = false;
        double length = 0.0;
        double remaining = 0.0;
    };
    std::map<int, double> sounds_;
    std::map<int, Voice> voices_;
    int lastSound_ = 0;
    int lastVoice_ = 0;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

// ---- OpenAL Soft ----------------------------------------------------------------------------------------

// Sounds closer than this are at full level; beyond it the level falls with the inverse distance.
constexpr float kReferenceDistance = 2.0f;

class OpenAlOutput : public Output {
public:
    OpenAlOutput(ALCdevice* device, ALCcontext* context) : device_(device), context_(context)
    {
        Current();
        alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    }
    ~OpenAlOutput() override
    {
        Current();
        for (auto& [id, voice] : voices_) {
            alSourceStop(voice.source);
            alDeleteSources(1, &voice.source);
        }
        for (auto& [id, buffer] : buffers_)
            alDeleteBuffers(1, &buffer.buffer);
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(context_);
        alcCloseDevice(device_);
    }
    bool IsDevice() const override { return true; }

    int LoadSound(const std::string& path, float* seconds) override
    {
        std::vector<short> samples;
        int channels = 0, rate = 0;
        float length = 0.0f;
        if (!DecodeFile(path, &samples, &channels, &rate, &length))
            return 0;
        if (channels != 1 && channels != 2) {
            Trace("Studio: %s has %d channels; only mono and stereo files play", path.c_str(), channels);
            return 0;
        }
        Current();
        ALuint buffer = 0;
        alGetError();
        alGenBuffers(1, &buffer);
        alBufferData(buffer, channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16, samples.data(),
                     static_cast<ALsizei>(samples.size() * sizeof(short)), rate);
        if (alGetError() != AL_NO_ERROR) {
            alDeleteBuffers(1, &buffer);
            return 0;
        }
        Buffer& stored = buffers_[++lastSound_];
        stored.buffer = buffer;
        stored.rate = rate;
        for (std::size_t i = 0; i < samples.size(); i += kPeakBlock * static_cast<std::size_t>(channels)) {
            int peak = 0;
            const std::size_t end = std::min(samples.size(), i + kPeakBlock * static_cast<std::size_t>(channels));
            for (std::size_t k = i; k < end; ++k)
                peak = std::max(peak, std::abs(static_cast<int>(samples[k])));
            stored.peaks.push_back(static_cast<float>(peak) / 32768.0f);
        }
        *seconds = length;
        return lastSound_;
    }
    int CreateVoice() override
    {
        Current();
        ALuint source = 0;
        alGetError();
        alGenSources(1, &source);
        if (alGetError() != AL_NO_ERROR)
            return 0;
        alSourcef(source, AL_REFERENCE_DISTANCE, kReferenceDistance);
        voices_[++lastVoice_] = Voice{source};
        return lastVoice_;
    }
    void DestroyVoice(int voice) override
    {
        auto it = voices_.find(voice);
        if (it == voices_.end())
            return;
        Current();
        alSourceStop(it->second.source);
        alDeleteSources(1, &it->second.source);
        voices_.erase(it);
    }
    void Play(int voice, int sound, bool loop) override
    {
        auto it = voices_.find(voice);
        auto found = buffers_.find(sound);
        if (it == voices_.end())
            return;
        Current();
        Voice& v = it->second;
        alSourceStop(v.source);
        v.waiting = false;
        v.sound = 0;
        if (found == buffers_.end())
            return;
        v.sound = sound;
        alSourcei(v.source, AL_BUFFER, static_cast<ALint>(found->second.buffer));
        alSourcei(v.source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
        if (v.held)
            v.waiting = true;
        else
            alSourcePlay(v.source);
    }
    void Stop(int voice) override
    {
        auto it = voices_.find(voice);
        if (it == voices_.end())
            return;
        Current();
        alSourceStop(it->second.source);
        it->second.waiting = false;
    }
    void SetLooping(int voice, bool loop) override
    {
        auto it = voices_.find(voice);
        if (it == voices_.end())
            return;
        Current();
        alSourcei(it->second.source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    }
    void SetPaused(int voice, bool paused) override
    {
        auto it = voices_.find(voice);
        if (it == voices_.end())
            return;
        Current();
        Voice& v = it->second;
        v.held = paused;
        ALint state = 0;
        alGetSourcei(v.source, AL_SOURCE_STATE, &state);
        if (paused && state == AL_PLAYING)
            alSourcePause(v.source);
        else if (!paused && (state == AL_PAUSED || v.waiting))
            alSourcePlay(v.source);
        if (!paused)
            v.waiting = false;
    }
    void SetVoice(int voice, float gain, float pitch, bool spatial, const Vector& position) override
    {
        auto it = voices_.find(voice);
        if (it == voices_.end())
            return;
        Current();
        const ALuint source = it->second.source;
        it->second.pitch = pitch < 0.01f ? 0.01f : pitch;
        alSourcef(source, AL_GAIN, gain < 0.0f ? 0.0f : gain);
        alSourcef(source, AL_PITCH, it->second.pitch);
        alSourcei(source, AL_SOURCE_RELATIVE, spatial ? AL_FALSE : AL_TRUE);
        if (spatial)
            alSource3f(source, AL_POSITION, -position.x, position.y, position.z);
        else
            alSource3f(source, AL_POSITION, 0.0f, 0.0f, 0.0f);
    }
    bool IsPlaying(int voice) override
    {
        auto it = voices_.find(voice);
        if (it == voices_.end())
            return false;
        if (it->second.waiting)
            return true;
        Current();
        ALint state = 0;
        alGetSourcei(it->second.source, AL_SOURCE_STATE, &state);
        return state == AL_PLAYING || state == AL_PAUSED;
    }
    float PeakAhead(int voice, float seconds) override
    {
        auto it = voices_.find(voice);
        if (it == voices_.end())
            return 0.0f;
        auto found = buffers_.find(it->second.sound);
        if (found == buffers_.end() || found->second.peaks.empty())
            return 0.0f;
        Current();
        const ALuint source = it->second.source;
        ALint state = 0, offset = 0, looping = 0;
        alGetSourcei(source, AL_SOURCE_STATE, &state);
        if (state != AL_PLAYING)
            return 0.0f;
        alGetSourcei(source, AL_SAMPLE_OFFSET, &offset);
        alGetSourcei(source, AL_LOOPING, &looping);
        const Buffer& b = found->second;
        const std::size_t blocks = b.peaks.size();
        const std::size_t first = static_cast<std::size_t>(std::max(offset, 0)) / kPeakBlock;
        const std::size_t span =
            static_cast<std::size_t>(seconds * static_cast<float>(b.rate) * it->second.pitch) / kPeakBlock + 2;
        float peak = 0.0f;
        for (std::size_t k = 0; k < std::min(span, blocks); ++k) {
            const std::size_t block = first + k;
            if (block >= blocks && !looping)
                break;
            peak = std::max(peak, b.peaks[block % blocks]);
        }
        return peak;
    }
    void SetListener(const Attributes3D& l) override
    {
        // Left-handed to right-handed: x is mirrored.
        Current();
        alListener3f(AL_POSITION, -l.position.x, l.position.y, l.position.z);
        alListener3f(AL_VELOCITY, -l.velocity.x, l.velocity.y, l.velocity.z);
        const ALfloat orientation[6] = {-l.forward.x, l.forward.y, l.forward.z, -l.up.x, l.up.y, l.up.z};
        alListenerfv(AL_ORIENTATION, orientation);
    }
    void Update() override {}

private:
    void Current()
    {
        if (alcGetCurrentContext() != context_)
            alcMakeContextCurrent(context_);
    }

    struct Voice {
        ALuint source = 0;
        int sound = 0;          // the sound last given to play
        float pitch = 1.0f;
        bool held = false;      // its bus chain is paused
        bool waiting = false;   // started while held: plays once the pause ends
    };
    // A decoded sound and the peak of each block of its frames.
    struct Buffer {
        ALuint buffer = 0;
        int rate = 0;
        std::vector<float> peaks;
    };
    static constexpr std::size_t kPeakBlock = 512;

    ALCdevice* device_;
    ALCcontext* context_;
    std::map<int, Buffer> buffers_;
    std::map<int, Voice> voices_;
    int lastSound_ = 0;
    int lastVoice_ = 0;
};

} // namespace

void SetSilentStep(float seconds)
{
    gSilentStep = seconds;
}

std::unique_ptr<Output> MakeSilentOutput()
{
    return std::make_unique<SilentOutput>();
}

std::unique_ptr<Output> OpenOutput()
{
    ALCdevice* device = alcOpenDevice(nullptr);
    // The device's own limiter catches what the mix's headroom does not: no sample clips at full scale.
    const ALCint attributes[] = {ALC_OUTPUT_LIMITER_SOFT, ALC_TRUE, 0};
    ALCcontext* context = device ? alcCreateContext(device, attributes) : nullptr;
    if (!context || !alcMakeContextCurrent(context)) {
        if (context)
            alcDestroyContext(context);
        if (device)
            alcCloseDevice(device);
        Trace("Studio: no audio device could be opened; sound is silent");
        return MakeSilentOutput();
    }
    return std::make_unique<OpenAlOutput>(device, context);
}

} // namespace studio
