// Plays an S3M module: unpacks patterns and samples at load time, then renders PCM on demand,
// one tick of the song at a time. Used from the sound engine's timer thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct ModuleInstrument {
    uint8_t type = 0;            // 1 = sample; any other type plays nothing
    std::vector<int8_t> data;    // length + 1 samples: the last one repeated for interpolation
    uint32_t length = 0;         // samples
    uint32_t loopBegin = 0;      // 0 with loopEnd 0 when the sample does not loop
    uint32_t loopEnd = 0;
    int volume = 0;              // 0..256
    uint8_t flags = 0;           // bit 0 loop, bit 2 16-bit
    uint32_t c2spd = 0;          // Hz, 22.10 fixed point
    char name[29] = {};
};

struct PatternCell {
    uint8_t note = 0;            // 0 none, 1..253 octave << 4 | semitone, 254 note cut
    uint8_t instrument = 0;      // 0 none
    uint8_t volume = 255;        // 255 none
    uint8_t command = 0;         // 1 = A ... 26 = Z
    uint8_t info = 0;
};

class ModulePlayer {
public:
    enum { StateCreated = 1, StateLoaded = 2 };
    static constexpr int kRowsPerPattern = 64;
    static constexpr int kMaxChannels = 32;

    ModulePlayer(const void* image, size_t size, int rate, int bits16, int stereo,
                 int interpolation);
    ~ModulePlayer() = default;
    ModulePlayer(const ModulePlayer&) = delete;
    ModulePlayer& operator=(const ModulePlayer&) = delete;

    // Renders up to `bytes` bytes of output; levels, when not null, holds one buffer per
    // channel of at least `rate` bytes. Returns the frames produced (fewer at the song's end).
    int Render(void* out, int bytes, uint8_t** levels);
    void ProcessTick();
    void Unload();

    int state = StateCreated;
    uint8_t option = 42;  // the volume divisor

    // Song header values.
    char songName[29] = {};
    int orderCount = 0, instrumentCount = 0, patternCount = 0;
    int flags = 0, trackerVersion = 0, fileFormat = 0;
    int initialGlobalVolume = 0, initialSpeed = 0, initialTempo = 0, masterVolume = 0;
    int defaultPan = 0, special = 0;
    int channelCount = 0;
    uint8_t channelPan[kMaxChannels] = {};
    std::vector<uint8_t> orders;
    std::vector<ModuleInstrument> instruments;
    std::vector<std::vector<PatternCell>> patterns;

    // Playback position, readable for the tests and the render tool.
    int OrderPosition() const { return orderPos_; }
    int Row() const { return row_; }
    int Speed() const { return speed_; }
    int Tempo() const { return tempo_; }
    int GlobalVolume() const { return globalVolume_; }
    bool Ended() const { return ended_; }
    int Rate() const { return rate_; }
    // Frames the current tick still has to produce.
    int FramesLeftInTick() const { return tickFramesLeft_; }
    // The channel's current period (0 = silent), in 1/16 of the classic period units.
    int ChannelPeriod(int ch) const { return channels_[size_t(ch)].period; }
    uint32_t ChannelStep(int ch) const { return channels_[size_t(ch)].step; }

    static constexpr int kPeriodScale = 16;  // internal periods are finer than the classic ones

private:
    struct Channel {
        const ModuleInstrument* sample = nullptr;
        uint32_t position = 0;   // 22.10
        uint32_t step = 0;       // 22.10
        uint32_t length = 0;     // 22.10
        uint32_t loopBegin = 0, loopEnd = 0;  // 22.10
        uint32_t c2spd = 0;      // 22.10
        bool active = false;
        int instrument = 0;      // current (1-based, 0 none)
        int pendingInstrument = 0;
        int volume = 0;          // 0..256
        int effectiveVolume = 0;
        int leftVolume = 0, rightVolume = 0;
        int period = 0, basePeriod = 0, targetPeriod = 0;
        int pan = 7;
        // Row effects.
        int volumeSlide = 0;     // per tick after the first
        int periodSlide = 0;     // per tick after the first
        int portaSpeed = 0;
        bool tonePorta = false;
        int lastSlide = 0;
        int vibSpeed = 0, vibDepth = 0, vibPhase = 0, vibWave = 0;
        bool vibFine = false, vibOn = false, vibPrev = false;
        int tremSpeed = 0, tremDepth = 0, tremPhase = 0, tremWave = 0;
        bool tremOn = false, tremPrev = false;
        int arpeggio = -1;
        int noteCut = -1;
    };

    bool Load(const uint8_t* p, size_t size);
    void NewRow();
    bool EnterOrder(int order);
    void RowCell(Channel& c, const PatternCell& cell);
    void TickChannel(Channel& c);
    int SlideAmount(const Channel& c, int units) const;
    void MixChunk(int32_t* acc, int frames, uint8_t** levels, int levelOffset);

    int rate_;
    bool bits16_, stereo_, interpolation_;
    std::vector<Channel> channels_;
    int orderPos_ = -1;
    int pattern_ = 0;
    int row_ = kRowsPerPattern - 1;
    int tick_ = 0;
    int tickCountdown_ = 0;
    int speed_ = 6, tempo_ = 125, globalVolume_ = 64;
    int tickFramesLeft_ = 0;
    int jumpOrder_ = -1, breakRow_ = -1;
    bool ended_ = false;
    std::vector<int32_t> accum_;
};
