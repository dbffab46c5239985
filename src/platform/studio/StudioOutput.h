#pragma once
// Where the studio layer's instances sound: OpenAL Soft with files decoded by libsndfile, or a silent
// output that keeps the same timing (a one-shot plays for its file's length) when no device opens.
#include <memory>
#include <string>

#include "platform/studio/Studio.h"

namespace studio {

class Output {
public:
    virtual ~Output() = default;
    // True when a device plays the sound.
    virtual bool IsDevice() const = 0;
    // Decodes (or, silently, measures) a sound file. Returns a sound id above 0 and its length in
    // seconds, or 0 when the file can't be read.
    virtual int LoadSound(const std::string& path, float* seconds) = 0;
    // A voice plays one sound at a time. 0 when none can be made (the instance then stays silent).
    virtual int CreateVoice() = 0;
    virtual void DestroyVoice(int voice) = 0;
    // Plays the sound from its start (a playing voice starts again).
    virtual void Play(int voice, int sound, bool loop) = 0;
    virtual void Stop(int voice) = 0;
    // A looping voice that stops looping plays its current pass to the end.
    virtual void SetLooping(int voice, bool loop) = 0;
    virtual void SetPaused(int voice, bool paused) = 0;
    // Gain (linear), pitch (1 = as recorded), and a place in the world (spatial) or none (at the listener).
    virtual void SetVoice(int voice, float gain, float pitch, bool spatial, const Vector& position) = 0;
    // Playing or paused; false once a one-shot has played to its end or the voice was stopped.
    virtual bool IsPlaying(int voice) = 0;
    // The highest sample (0..1, before the voice's gain) the voice plays within the next this many
    // seconds of its sound; 0 while it is stopped or paused, or when nothing is heard.
    virtual float PeakAhead(int voice, float seconds) = 0;
    virtual void SetListener(const Attributes3D& listener) = 0;
    // Once per System::update, before the voices are asked.
    virtual void Update() = 0;
};

// OpenAL Soft on the default device; the silent output (with one trace line) when none opens.
std::unique_ptr<Output> OpenOutput();
// The silent output.
std::unique_ptr<Output> MakeSilentOutput();
// The silent clock's step per update (0: the wall clock).
void SetSilentStep(float seconds);

} // namespace studio
