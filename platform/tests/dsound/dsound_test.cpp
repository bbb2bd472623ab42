#include "platform/dsound/dsound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/dsound/dsound_testing.h"
#include "platform/tests/support/sound_device_absent.h"

namespace {

// No test needs a sound card: without one, the dummy driver still runs the mixer.
[[maybe_unused]] const bool kDummyAudio = setenv("SDL_AUDIODRIVER", "dummy", 0) == 0;


// One DirectSound object per test with a paused device: every frame the test sees is one it
// asked the mixer for.
class DirectSoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DirectSoundSetManualMixing(true);
        ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
        ASSERT_EQ(ds->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr};
        ASSERT_EQ(ds->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
        WAVEFORMATEX f = Format(44100, 2, 16);
        ASSERT_EQ(primary->SetFormat(&f), DS_OK);
    }
    void TearDown() override
    {
        for (auto* b : buffers) b->Release();
        if (primary) primary->Release();
        if (ds) {
            EXPECT_EQ(ds->Release(), 0u);
        }
        DirectSoundSetManualMixing(false);
    }
    static WAVEFORMATEX Format(DWORD rate, WORD channels, WORD bits)
    {
        WAVEFORMATEX f{};
        f.wFormatTag = WAVE_FORMAT_PCM;
        f.nChannels = channels;
        f.nSamplesPerSec = rate;
        f.wBitsPerSample = bits;
        f.nBlockAlign = WORD(channels * bits / 8);
        f.nAvgBytesPerSec = f.nBlockAlign * rate;
        return f;
    }
    // A buffer filled with `bytes`.
    LPDIRECTSOUNDBUFFER Make(const std::vector<uint8_t>& bytes, WAVEFORMATEX f,
                             DWORD flags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN)
    {
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), flags, DWORD(bytes.size()), 0, &f};
        LPDIRECTSOUNDBUFFER b = nullptr;
        EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
        if (!b) return nullptr;
        void *p1, *p2;
        DWORD n1, n2;
        EXPECT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
        std::memcpy(p1, bytes.data(), n1);
        EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
        buffers.push_back(b);
        return b;
    }
    static std::vector<uint8_t> Mono16(int frames, int16_t value)
    {
        std::vector<uint8_t> v;
        for (int i = 0; i < frames; ++i) {
            v.push_back(uint8_t(value & 0xff));
            v.push_back(uint8_t((value >> 8) & 0xff));
        }
        return v;
    }
    std::vector<int16_t> Mix(int frames)
    {
        std::vector<int16_t> out(size_t(frames) * 2);
        EXPECT_TRUE(DirectSoundMixFrames(out.data(), frames));
        return out;
    }

    LPDIRECTSOUND ds = nullptr;
    LPDIRECTSOUNDBUFFER primary = nullptr;
    std::vector<LPDIRECTSOUNDBUFFER> buffers;
};

}  // namespace

TEST_F(DirectSoundTest, VolumeAndPanFollowTheDecibelScale)
{
    auto* b = Make(Mono16(1000, 10000), Format(44100, 1, 16));
    ASSERT_EQ(b->SetVolume(-600), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    auto out = Mix(10);
    int expected = int(std::lround(10000 * std::pow(10.0, -600 / 2000.0)));  // 5012
    EXPECT_EQ(out[0], expected);
    EXPECT_EQ(out[1], expected);
    ASSERT_EQ(b->SetVolume(0), DS_OK);
    ASSERT_EQ(b->SetPan(-2000), DS_OK);  // towards the left: the right is attenuated 20 dB
    out = Mix(10);
    EXPECT_EQ(out[0], 10000);
    EXPECT_EQ(out[1], 1000);
    ASSERT_EQ(b->SetPan(DSBPAN_RIGHT), DS_OK);
    out = Mix(10);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 10000);
    ASSERT_EQ(b->SetVolume(DSBVOLUME_MIN), DS_OK);
    out = Mix(10);
    EXPECT_EQ(out[1], 0);
    LONG v = 0, p = 0;
    EXPECT_EQ(b->GetVolume(&v), DS_OK);
    EXPECT_EQ(b->GetPan(&p), DS_OK);
    EXPECT_EQ(v, DSBVOLUME_MIN);
    EXPECT_EQ(p, DSBPAN_RIGHT);
    EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetPan(10001), DSERR_INVALIDPARAM);
}

TEST_F(DirectSoundTest, MixSaturatesAndConvertsEightBit)
{
    auto* a = Make(Mono16(100, 30000), Format(44100, 1, 16));
    auto* b = Make(Mono16(100, 30000), Format(44100, 1, 16));
    auto* c = Make(std::vector<uint8_t>(200, 0x00), Format(44100, 2, 8));  // stereo 8-bit, -128
    a->Play(0, 0, 0);
    b->Play(0, 0, 0);
    auto out = Mix(4);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], 32767);
    a->Stop();
    b->Stop();
    c->Play(0, 0, 0);
    auto d = Make(Mono16(100, -30000), Format(44100, 1, 16));
    d->Play(0, 0, 0);
    out = Mix(4);
    EXPECT_EQ(out[0], -32768);  // -32768 - 30000 would wrap to a loud positive value
    d->Stop();
    out = Mix(4);
    EXPECT_EQ(out[0], -32768);
    auto* e = Make(std::vector<uint8_t>(100, 0xC0), Format(44100, 1, 8));
    c->Stop();
    e->Play(0, 0, 0);
    out = Mix(2);
    EXPECT_EQ(out[0], 64 * 256);
}

TEST_F(DirectSoundTest, OtherRatesAreResampled)
{
    // A ramp at half the device rate: every other output frame lies halfway between two.
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 100; ++i) {
        int16_t v = int16_t(i * 100);
        bytes.push_back(uint8_t(v & 0xff));
        bytes.push_back(uint8_t(v >> 8));
    }
    auto* b = Make(bytes, Format(22050, 1, 16));
    b->Play(0, 0, 0);
    auto out = Mix(8);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(out[size_t(2 * i)], i * 50) << i;
    DWORD play = 0;
    b->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 8u);  // 4 source frames of 2 bytes
}

TEST_F(DirectSoundTest, FinishedBufferStopsAtPositionZero)
{
    auto* b = Make(Mono16(10, 1000), Format(44100, 1, 16));
    b->Play(0, 0, 0);
    auto out = Mix(16);
    EXPECT_EQ(out[2 * 9], 1000);
    EXPECT_EQ(out[2 * 10], 0);
    DWORD status = 0, play = 1;
    EXPECT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u);
    b->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 0u);
}

TEST_F(DirectSoundTest, DuplicatesShareDataButNotVolumeOrPosition)
{
    auto* a = Make(Mono16(100, 1000), Format(44100, 1, 16));
    LPDIRECTSOUNDBUFFER dup = nullptr;
    ASSERT_EQ(ds->DuplicateSoundBuffer(a, &dup), DS_OK);
    buffers.push_back(dup);
    a->SetVolume(-2000);  // a tenth
    a->Play(0, 0, 0);
    Mix(50);
    dup->Play(0, 0, 0);
    auto out = Mix(60);
    EXPECT_EQ(out[0], 1100);
    EXPECT_EQ(out[2 * 55], 1000);  // the original has finished, the duplicate plays on
    // Data written through one is heard through the other.
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(a->Lock(0, 4, &p1, &n1, &p2, &n2, 0), DS_OK);
    std::memset(p1, 0, n1);
    ASSERT_EQ(a->Unlock(p1, n1, p2, n2), DS_OK);
    dup->Stop();
    dup->SetCurrentPosition(0);
    dup->Play(0, 0, 0);
    out = Mix(3);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2 * 2], 1000);
}

TEST_F(DirectSoundTest, LoopingStreamCursorsAndWrappingLocks)
{
    auto* s = Make(Mono16(1000, 0), Format(44100, 1, 16));
    s->Play(0, 0, DSBPLAY_LOOPING);
    Mix(900);
    DWORD play = 0, write = 0, status = 0;
    s->GetCurrentPosition(&play, &write);
    EXPECT_EQ(play, 1800u);
    EXPECT_EQ(write, (1800u + 661 * 2) % 2000u);  // 15 ms ahead, in whole frames
    Mix(300);
    s->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 400u);
    s->GetStatus(&status);
    EXPECT_EQ(status, DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    // A region across the end comes in two pieces.
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(s->Lock(1900, 200, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 100u);
    EXPECT_EQ(n2, 100u);
    ASSERT_NE(p2, nullptr);
    EXPECT_EQ(s->Lock(0, 2, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDCALL);  // already locked
    EXPECT_EQ(s->Unlock(p1, n1, p2, n2 + 1), DSERR_INVALIDPARAM);
    EXPECT_EQ(s->Lock(2000, 2, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
}

TEST_F(DirectSoundTest, LostBuffersRefuseUntilRestored)
{
    auto* s = Make(Mono16(100, 500), Format(44100, 1, 16));
    DirectSoundLoseBuffers();
    void *p1, *p2;
    DWORD n1, n2, status = 0;
    EXPECT_EQ(s->Lock(0, 2, &p1, &n1, &p2, &n2, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(s->Play(0, 0, 0), DSERR_BUFFERLOST);
    s->GetStatus(&status);
    EXPECT_TRUE(status & DSBSTATUS_BUFFERLOST);
    EXPECT_EQ(s->Restore(), DS_OK);
    EXPECT_EQ(s->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Mix(1)[0], 500);
}

TEST_F(DirectSoundTest, RefusesWhatItCannotDo)
{
    WAVEFORMATEX bad = Format(44100, 1, 16);
    bad.wFormatTag = 2;  // compressed
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), 0, 100, 0, &bad};
    LPDIRECTSOUNDBUFFER b = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DSERR_BADFORMAT);
    WAVEFORMATEX none = Format(44100, 1, 16);
    none.nChannels = 0;
    desc.lpwfxFormat = &none;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DSERR_BADFORMAT);
    EXPECT_EQ(b, nullptr);
    auto* plain = Make(Mono16(10, 0), Format(44100, 1, 16), 0);
    EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);
    void *p1, *p2;
    DWORD n1, n2;
    EXPECT_EQ(primary->Lock(0, 4, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDCALL);
    EXPECT_EQ(primary->SetFormat(&bad), DSERR_BADFORMAT);
    WAVEFORMATEX got{};
    EXPECT_EQ(primary->GetFormat(&got, sizeof got, nullptr), DS_OK);
    EXPECT_EQ(got.nSamplesPerSec, 44100u);
    GUID other{};
    LPDIRECTSOUND second = nullptr;
    EXPECT_EQ(DirectSoundCreate(&other, &second, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(second, nullptr);
}

TEST(DirectSoundDevice, PrimaryFormatChangesTheDeviceRate)
{
    DirectSoundSetManualMixing(true);
    LPDIRECTSOUND ds = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
    ASSERT_EQ(ds->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DS_OK);
    DSBUFFERDESC pd{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr};
    LPDIRECTSOUNDBUFFER primary = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&pd, &primary, nullptr), DS_OK);
    WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    EXPECT_EQ(primary->SetFormat(&f), DSERR_PRIOLEVELNEEDED);
    ASSERT_EQ(ds->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
    ASSERT_EQ(primary->SetFormat(&f), DS_OK);
    // A 44100 Hz buffer now advances two frames per device frame; the device is mono.
    std::vector<uint8_t> bytes(400, 0);
    WAVEFORMATEX bf{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
    DSBUFFERDESC bd{sizeof(DSBUFFERDESC), 0, 400, 0, &bf};
    LPDIRECTSOUNDBUFFER b = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&bd, &b, nullptr), DS_OK);
    b->Play(0, 0, DSBPLAY_LOOPING);
    std::vector<int16_t> out(10);
    ASSERT_TRUE(DirectSoundMixFrames(out.data(), 10));
    DWORD play = 0;
    b->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 40u);
    b->Release();
    primary->Release();
    EXPECT_EQ(ds->Release(), 0u);
    EXPECT_FALSE(DirectSoundMixFrames(out.data(), 10));
    DirectSoundSetManualMixing(false);
}

// A machine without a sound device: DirectSoundCreate says there is no driver, and the terminal
// gets one plain line for the whole run; the reasons are the debugger's.
TEST(DirectSoundDevice, WithoutADeviceTheTerminalGetsOneLine)
{
    auto create = [] {
        LPDIRECTSOUND ds = reinterpret_cast<LPDIRECTSOUND>(1);
        EXPECT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DSERR_NODRIVER);
        EXPECT_EQ(ds, nullptr);
    };
    const auto [first, second, traced] = StartWithoutASoundDevice(create);
    EXPECT_EQ(first, "No sound device could be opened: the game runs without sound.\n");
    EXPECT_EQ(second, "");
    EXPECT_NE(traced.find("dsound: SDL audio: "), std::string::npos) << traced;
    EXPECT_NE(traced.find("dsound: DirectSoundCreate: no audio device (0x88780078)"), std::string::npos) << traced;
    EXPECT_EQ(traced.find("No sound device"), std::string::npos) << traced;
}
