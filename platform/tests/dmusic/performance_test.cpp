#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/dmusic/dmusic.h"
#include "platform/dmusic/dmusic_testing.h"
#include "platform/tests/dmusic/sound_builders.h"
#include "platform/tests/support/sound_device_absent.h"

using namespace sound_builders;
using dmusic_testing::EventKind;

namespace {

namespace fs = std::filesystem;

// A performance on the manual clock with a stereo path, files written to a scratch folder.
class PerformanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("dmusic_test_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        dmusic_testing::UseManualClock(true);
        ASSERT_EQ(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC, IID_IDirectMusicPerformance8,
                                   reinterpret_cast<void**>(&perf_)),
                  S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                   reinterpret_cast<void**>(&loader_)),
                  S_OK);
        event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        ASSERT_EQ(perf_->AddNotificationType(GUID_NOTIFICATION_SEGMENT), S_OK);
        ASSERT_EQ(perf_->SetNotificationHandle(event_, 0), S_OK);
        ASSERT_EQ(perf_->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, DMUS_AUDIOF_ALL,
                                   nullptr),
                  S_OK);
        ASSERT_EQ(perf_->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 64, TRUE, &path_), S_OK);
        std::string dir = dir_.string();
        std::wstring wdir(dir.begin(), dir.end());
        ASSERT_EQ(loader_->SetSearchDirectory(GUID_DirectMusicAllTypes, wdir.c_str(), FALSE), S_OK);
    }

    void TearDown() override
    {
        for (IDirectMusicSegment8* s : segments_) s->Release();
        if (perf_) {
            perf_->CloseDown();
            perf_->Release();
        }
        if (path_) path_->Release();
        if (loader_) loader_->Release();
        if (event_) CloseHandle(event_);
        dmusic_testing::UseManualClock(false);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    IDirectMusicSegment8* Load(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        EXPECT_TRUE(WriteFile((dir_ / name).string(), bytes));
        std::wstring wname(name.begin(), name.end());
        IDirectMusicSegment8* seg = nullptr;
        HRESULT hr = loader_->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, wname.c_str(),
                                                 reinterpret_cast<void**>(&seg));
        EXPECT_EQ(hr, S_OK) << name;
        if (seg) segments_.push_back(seg);
        return seg;
    }

    HRESULT Play(IDirectMusicSegment8* seg, bool secondary)
    {
        return perf_->PlaySegmentEx(seg, nullptr, nullptr, DMUS_SEGF_DEFAULT | (secondary ? DMUS_SEGF_SECONDARY : 0), 0,
                                    nullptr, nullptr, path_);
    }

    // Every notification waiting: (option, segment it names).
    std::vector<std::pair<DWORD, IDirectMusicSegment*>> Drain()
    {
        std::vector<std::pair<DWORD, IDirectMusicSegment*>> out;
        DMUS_NOTIFICATION_PMSG* m = nullptr;
        while (perf_->GetNotificationPMsg(&m) == S_OK) {
            EXPECT_TRUE(m->guidNotificationType == GUID_NOTIFICATION_SEGMENT);
            IDirectMusicSegmentState8* state = nullptr;
            IDirectMusicSegment* seg = nullptr;
            EXPECT_EQ(m->punkUser->QueryInterface(IID_IDirectMusicSegmentState8, reinterpret_cast<void**>(&state)), S_OK);
            EXPECT_EQ(state->GetSegment(&seg), S_OK);
            out.push_back({m->dwNotificationOption, seg});
            seg->Release();
            state->Release();
            EXPECT_EQ(perf_->FreePMsg(reinterpret_cast<DMUS_PMSG*>(m)), S_OK);
        }
        return out;
    }

    static double Peak(const std::vector<float>& v, size_t from = 0, size_t to = SIZE_MAX)
    {
        double peak = 0;
        for (size_t i = from; i < std::min(to, v.size()); ++i) peak = std::max(peak, double(std::fabs(v[i])));
        return peak;
    }

    fs::path dir_;
    IDirectMusicPerformance8* perf_ = nullptr;
    IDirectMusicLoader8* loader_ = nullptr;
    IDirectMusicAudioPath8* path_ = nullptr;
    HANDLE event_ = nullptr;
    std::vector<IDirectMusicSegment8*> segments_;
};

bool Signalled(HANDLE e) { return WaitForSingleObject(e, 0) == WAIT_OBJECT_0; }

}  // namespace

TEST_F(PerformanceTest, WaveEndsWithStartAlmostEndAndEndInOrder)
{
    IDirectMusicSegment8* seg = Load("tone.wav", MakeConstantWave(44100, 44100, 8192));  // one second
    ASSERT_TRUE(seg);
    EXPECT_FALSE(Signalled(event_));
    ASSERT_EQ(Play(seg, true), S_OK);
    EXPECT_TRUE(Signalled(event_));
    EXPECT_EQ(perf_->IsPlaying(seg, nullptr), S_OK);
    auto n = Drain();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].first, DWORD(DMUS_NOTIFICATION_SEGSTART));
    EXPECT_EQ(n[0].second, seg);

    auto out = dmusic_testing::Render(perf_, 22050);
    EXPECT_NEAR(out[0], 0.25f, 1e-3);
    EXPECT_NEAR(out[22049 * 2 + 1], 0.25f, 1e-3);
    EXPECT_TRUE(Drain().empty());
    EXPECT_FALSE(Signalled(event_));

    out = dmusic_testing::Render(perf_, 44100);
    EXPECT_TRUE(Signalled(event_));
    n = Drain();
    ASSERT_EQ(n.size(), 2u);
    EXPECT_EQ(n[0].first, DWORD(DMUS_NOTIFICATION_SEGALMOSTEND));
    EXPECT_EQ(n[1].first, DWORD(DMUS_NOTIFICATION_SEGEND));
    EXPECT_EQ(perf_->IsPlaying(seg, nullptr), S_FALSE);
    // Sound stops exactly where the wave ends.
    EXPECT_NEAR(out[(22050 - 1) * 2], 0.25f, 1e-3);
    EXPECT_EQ(out[22050 * 2], 0.0f);
}

TEST_F(PerformanceTest, SecondariesOverlapAndAPrimaryReplacesThePrimary)
{
    IDirectMusicSegment8* a = Load("a.wav", MakeConstantWave(44100, 44100, 4096));
    IDirectMusicSegment8* b = Load("b.wav", MakeConstantWave(44100, 44100, 8192));
    ASSERT_TRUE(a && b);
    // Two instances of one segment sound together.
    ASSERT_EQ(Play(a, true), S_OK);
    ASSERT_EQ(Play(a, true), S_OK);
    auto out = dmusic_testing::Render(perf_, 100);
    EXPECT_NEAR(out[0], 0.25f, 1e-3);
    Drain();

    // A primary over the secondaries leaves them playing.
    ASSERT_EQ(Play(b, false), S_OK);
    out = dmusic_testing::Render(perf_, 100);
    EXPECT_NEAR(out[0], 0.5f, 1e-3);
    // A second primary replaces the first: the first is aborted, then the new one starts.
    ASSERT_EQ(Play(a, false), S_OK);
    auto n = Drain();
    ASSERT_EQ(n.size(), 3u);
    EXPECT_EQ(n[0], std::make_pair(DWORD(DMUS_NOTIFICATION_SEGSTART), static_cast<IDirectMusicSegment*>(b)));
    EXPECT_EQ(n[1], std::make_pair(DWORD(DMUS_NOTIFICATION_SEGABORT), static_cast<IDirectMusicSegment*>(b)));
    EXPECT_EQ(n[2], std::make_pair(DWORD(DMUS_NOTIFICATION_SEGSTART), static_cast<IDirectMusicSegment*>(a)));
    EXPECT_EQ(perf_->IsPlaying(b, nullptr), S_FALSE);
    out = dmusic_testing::Render(perf_, 100);
    EXPECT_NEAR(out[0], 0.375f, 1e-3);

    // StopEx on a segment stops every instance of it.
    ASSERT_EQ(perf_->StopEx(a, 0, 0), S_OK);
    n = Drain();
    ASSERT_EQ(n.size(), 3u);
    for (auto& e : n) EXPECT_EQ(e.first, DWORD(DMUS_NOTIFICATION_SEGABORT));
    out = dmusic_testing::Render(perf_, 100);
    EXPECT_EQ(Peak(out), 0.0);
}

TEST_F(PerformanceTest, RepeatsLoopThenEnd)
{
    IDirectMusicSegment8* seg = Load("short.wav", MakeConstantWave(44100, 1000, 8192));
    ASSERT_TRUE(seg);
    ASSERT_EQ(seg->SetRepeats(2), S_OK);
    ASSERT_EQ(Play(seg, true), S_OK);
    auto out = dmusic_testing::Render(perf_, 4000);
    EXPECT_NEAR(out[2999 * 2], 0.25f, 1e-3);  // three passes, seamless
    EXPECT_EQ(out[3000 * 2], 0.0f);
    auto n = Drain();
    std::vector<DWORD> options;
    for (auto& e : n) options.push_back(e.first);
    EXPECT_EQ(options, (std::vector<DWORD>{DMUS_NOTIFICATION_SEGSTART, DMUS_NOTIFICATION_SEGLOOP,
                                          DMUS_NOTIFICATION_SEGLOOP, DMUS_NOTIFICATION_SEGALMOSTEND,
                                          DMUS_NOTIFICATION_SEGEND}));

    // Infinite repeats go on until stopped, and never announce an end.
    ASSERT_EQ(seg->SetRepeats(DMUS_SEG_REPEAT_INFINITE), S_OK);
    ASSERT_EQ(Play(seg, false), S_OK);
    out = dmusic_testing::Render(perf_, 44100);
    EXPECT_NEAR(out[44099 * 2], 0.25f, 1e-3);
    n = Drain();
    for (auto& e : n) {
        EXPECT_NE(e.first, DWORD(DMUS_NOTIFICATION_SEGEND));
        EXPECT_NE(e.first, DWORD(DMUS_NOTIFICATION_SEGALMOSTEND));
    }
    EXPECT_GE(n.size(), 40u);
    ASSERT_EQ(perf_->StopEx(nullptr, 0, 0), S_OK);
    n = Drain();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].first, DWORD(DMUS_NOTIFICATION_SEGABORT));
}

TEST_F(PerformanceTest, EmptySegmentsEndAtOnceEvenWhenLooped)
{
    IDirectMusicSegment8* wave = Load("empty.wav", MakeWaveRaw(1, 44100, 1, 16, {}));
    IDirectMusicSegment8* midi = Load("empty.mid", MakeMidi(0, 96, {{}}));
    ASSERT_TRUE(wave && midi);
    wave->SetRepeats(DMUS_SEG_REPEAT_INFINITE);
    midi->SetRepeats(DMUS_SEG_REPEAT_INFINITE);
    ASSERT_EQ(Play(wave, true), S_OK);
    ASSERT_EQ(Play(midi, true), S_OK);
    dmusic_testing::Render(perf_, 64);
    auto n = Drain();
    ASSERT_EQ(n.size(), 6u);
    EXPECT_EQ(n[5].first, DWORD(DMUS_NOTIFICATION_SEGEND));
    EXPECT_EQ(perf_->IsPlaying(wave, nullptr), S_FALSE);
    EXPECT_EQ(perf_->IsPlaying(midi, nullptr), S_FALSE);
}

TEST_F(PerformanceTest, VolumeIsInHundredthsOfADecibel)
{
    IDirectMusicSegment8* seg = Load("loud.wav", MakeConstantWave(44100, 44100, 16384));
    ASSERT_TRUE(seg);
    ASSERT_EQ(Play(seg, true), S_OK);
    ASSERT_EQ(path_->SetVolume(-2000, 0), S_OK);  // -20 dB: a tenth
    auto out = dmusic_testing::Render(perf_, 64);
    EXPECT_NEAR(out[0], 0.05f, 1e-4);
    ASSERT_EQ(path_->SetVolume(-600, 0), S_OK);
    out = dmusic_testing::Render(perf_, 64);
    EXPECT_NEAR(out[0], 0.5 * std::pow(10.0, -0.3), 1e-4);
    ASSERT_EQ(path_->SetVolume(-20000, 0), S_OK);  // below the floor: silence
    out = dmusic_testing::Render(perf_, 64);
    EXPECT_EQ(Peak(out), 0.0);
    ASSERT_EQ(path_->SetVolume(0, 1000), S_OK);  // a one-second ramp up
    out = dmusic_testing::Render(perf_, 22050);
    EXPECT_LT(out[0], 0.01f);
    EXPECT_NEAR(out[22049 * 2], 0.25f, 0.01f);
    auto events = dmusic_testing::TakeEvents(perf_);
    std::vector<double> volumes;
    for (auto& e : events)
        if (e.kind == EventKind::Volume) volumes.push_back(e.value);
    EXPECT_EQ(volumes, (std::vector<double>{-2000, -600, -9600, 0}));
}

TEST_F(PerformanceTest, ForcedTempoDrivesMidiTiming)
{
    // Notes at tick 0 and one quarter later; the file asks for 60 beats per minute.
    std::vector<uint8_t> track = TempoEvent(0, 60);
    Append(track, TwoNoteTrack(480, 480));
    IDirectMusicSegment8* seg = Load("song.mid", MakeMidi(0, 480, {track}));
    ASSERT_TRUE(seg);
    ASSERT_EQ(seg->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr), S_OK);

    auto noteFrames = [&](std::vector<dmusic_testing::Event> events) {
        std::vector<uint64_t> frames;
        for (auto& e : events)
            if (e.kind == EventKind::NoteOn) frames.push_back(e.frame);
        return frames;
    };

    // Its own tempo: the second note a second after the first.
    dmusic_testing::TakeEvents(perf_);
    ASSERT_EQ(Play(seg, false), S_OK);
    uint64_t start = 0;
    dmusic_testing::Render(perf_, 44100 * 3);
    auto frames = noteFrames(dmusic_testing::TakeEvents(perf_));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_NEAR(double(frames[1] - frames[0]), 44100, 64);
    Drain();

    // Tempo track off and 170 beats per minute sent to the performance.
    ASSERT_EQ(seg->SetParam(GUID_DisableTempo, 0xFFFF, 0, 0, nullptr), S_OK);
    DMUS_PMSG* msg = nullptr;
    ASSERT_EQ(perf_->AllocPMsg(sizeof(DMUS_TEMPO_PMSG), &msg), S_OK);
    auto* tempo = reinterpret_cast<DMUS_TEMPO_PMSG*>(msg);
    tempo->dblTempo = 170;
    tempo->dwFlags = DMUS_PMSGF_REFTIME;
    tempo->dwType = DMUS_PMSGT_TEMPO;
    ASSERT_EQ(perf_->SendPMsg(msg), S_OK);
    ASSERT_EQ(Play(seg, false), S_OK);
    dmusic_testing::Render(perf_, 44100);
    auto events = dmusic_testing::TakeEvents(perf_);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0].kind, EventKind::Tempo);
    EXPECT_EQ(events[0].value, 170);
    EXPECT_EQ(events[1].kind, EventKind::SegmentStart);
    EXPECT_EQ(events[1].value, 170);
    EXPECT_FALSE(events[1].secondary);
    start = events[1].frame;
    frames = noteFrames(events);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_NEAR(double(frames[0] - start), 0, 64);
    EXPECT_NEAR(double(frames[1] - frames[0]), 44100.0 * 60 / 170, 64);
    // The piece (two quarters) ends after 2 x 60/170 s.
    auto n = Drain();
    ASSERT_EQ(n.size(), 3u);
    EXPECT_EQ(n[2].first, DWORD(DMUS_NOTIFICATION_SEGEND));
}

TEST_F(PerformanceTest, MessagesAreCheckedAndOwnedOnce)
{
    DMUS_PMSG* msg = nullptr;
    EXPECT_EQ(perf_->AllocPMsg(4, &msg), E_INVALIDARG);
    // A tempo message smaller than the structure is refused, not read past its end.
    ASSERT_EQ(perf_->AllocPMsg(sizeof(DMUS_PMSG), &msg), S_OK);
    msg->dwType = DMUS_PMSGT_TEMPO;
    EXPECT_EQ(perf_->SendPMsg(msg), E_INVALIDARG);
    EXPECT_EQ(perf_->FreePMsg(msg), S_OK);
    EXPECT_EQ(perf_->FreePMsg(msg), E_INVALIDARG);  // freed twice

    ASSERT_EQ(perf_->AllocPMsg(sizeof(DMUS_TEMPO_PMSG), &msg), S_OK);
    msg->dwType = DMUS_PMSGT_TEMPO;
    reinterpret_cast<DMUS_TEMPO_PMSG*>(msg)->dblTempo = 0;
    EXPECT_EQ(perf_->SendPMsg(msg), E_INVALIDARG);
    reinterpret_cast<DMUS_TEMPO_PMSG*>(msg)->dblTempo = std::nan("");
    EXPECT_EQ(perf_->SendPMsg(msg), E_INVALIDARG);
    msg->dwType = 99;
    EXPECT_EQ(perf_->SendPMsg(msg), DMUS_E_TYPE_UNSUPPORTED);
    EXPECT_EQ(perf_->FreePMsg(msg), S_OK);

    DMUS_TEMPO_PMSG onStack{};
    EXPECT_EQ(perf_->SendPMsg(reinterpret_cast<DMUS_PMSG*>(&onStack)), E_INVALIDARG);
}

TEST_F(PerformanceTest, SegmentsOutliveTheirLastOutsideReference)
{
    IDirectMusicSegment8* seg = Load("keep.wav", MakeConstantWave(44100, 500, 8192));
    ASSERT_TRUE(seg);
    IDirectMusicSegmentState* state = nullptr;
    ASSERT_EQ(perf_->PlaySegmentEx(seg, nullptr, nullptr, DMUS_SEGF_SECONDARY, 0, &state, nullptr, path_), S_OK);
    ASSERT_TRUE(state);
    segments_.clear();
    EXPECT_GT(seg->Release(), 0u);  // the playing state still holds it
    auto out = dmusic_testing::Render(perf_, 1000);
    EXPECT_NEAR(out[0], 0.25f, 1e-3);
    IDirectMusicSegment* back = nullptr;
    ASSERT_EQ(state->GetSegment(&back), S_OK);
    EXPECT_EQ(back, seg);
    back->Release();
    auto n = Drain();
    EXPECT_EQ(n.size(), 3u);
    EXPECT_EQ(state->Release(), 0u);  // the last reference, after the notifications were freed
}

TEST_F(PerformanceTest, LoaderRefusesMissingForeignAndDamagedFiles)
{
    IDirectMusicSegment8* seg = nullptr;
    EXPECT_EQ(loader_->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, L"none.wav",
                                          reinterpret_cast<void**>(&seg)),
              DMUS_E_LOADER_FAILEDOPEN);
    EXPECT_EQ(seg, nullptr);
    ASSERT_TRUE(WriteFile((dir_ / "text.wav").string(), {'h', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(loader_->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, L"text.wav",
                                          reinterpret_cast<void**>(&seg)),
              DMUS_E_LOADER_FORMATNOTSUPPORTED);
    ASSERT_TRUE(WriteFile((dir_ / "float.wav").string(), MakeWaveRaw(3, 44100, 1, 32, {0, 0, 0, 0})));
    EXPECT_EQ(loader_->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, L"float.wav",
                                          reinterpret_cast<void**>(&seg)),
              DMUS_E_INVALIDFILE);
    EXPECT_EQ(seg, nullptr);

    // A name with backslashes and another letter case is found all the same.
    fs::create_directories(dir_ / "Wav");
    ASSERT_TRUE(WriteFile((dir_ / "Wav" / "Kick.wav").string(), MakeConstantWave(44100, 10, 100)));
    EXPECT_EQ(loader_->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, L"wav\\kick.WAV",
                                          reinterpret_cast<void**>(&seg)),
              S_OK);
    ASSERT_TRUE(seg);
    EXPECT_EQ(seg->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr), DMUS_E_SET_UNSUPPORTED);
    seg->Release();

    // A RIFF MIDI file carries a standard MIDI file in its data chunk; through the object
    // description as well as by name.
    std::vector<uint8_t> smf = MakeMidi(0, 96, {TwoNoteTrack(96, 192)});
    std::vector<uint8_t> rmid = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'M', 'I', 'D', 'd', 'a', 't', 'a'};
    PutLE(rmid, uint32_t(smf.size()), 4);
    Append(rmid, smf);
    uint32_t riff = uint32_t(rmid.size() - 8);
    for (int i = 0; i < 4; ++i) rmid[4 + i] = uint8_t(riff >> (8 * i));
    ASSERT_TRUE(WriteFile((dir_ / "song.rmi").string(), rmid));
    DMUS_OBJECTDESC desc{};
    desc.dwSize = sizeof desc;
    desc.guidClass = CLSID_DirectMusicSegment;
    std::wcscpy(desc.wszFileName, L"song.rmi");
    seg = nullptr;
    ASSERT_EQ(loader_->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&seg)), S_OK);
    MUSIC_TIME length = 0;
    EXPECT_EQ(seg->GetLength(&length), S_OK);
    EXPECT_EQ(length, 288 * 768 / 96);
    EXPECT_EQ(seg->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr), S_OK);
    seg->Release();
    // The same wrapper cut short is refused.
    rmid.resize(rmid.size() - 10);
    ASSERT_TRUE(WriteFile((dir_ / "cut.rmi").string(), rmid));
    EXPECT_EQ(loader_->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, L"cut.rmi",
                                          reinterpret_cast<void**>(&seg)),
              DMUS_E_INVALIDFILE);
}

TEST_F(PerformanceTest, MidiSoundsOnlyAfterItsInstrumentsAreDownloaded)
{
    std::vector<uint8_t> track = TwoNoteTrack(96, 96 * 4);
    IDirectMusicSegment8* seg = Load("tune.mid", MakeMidi(1, 96, {track}));
    ASSERT_TRUE(seg);
    ASSERT_EQ(Play(seg, true), S_OK);
    auto quiet = dmusic_testing::Render(perf_, 22050);
    EXPECT_EQ(Peak(quiet), 0.0);
    perf_->StopEx(nullptr, 0, 0);

    ASSERT_EQ(seg->Download(path_), S_OK);
    ASSERT_EQ(Play(seg, true), S_OK);
    auto loud = dmusic_testing::Render(perf_, 22050);
    EXPECT_GT(Peak(loud), 0.02);

    // When the piece ends its last notes are released, not cut: the sound fades out.
    dmusic_testing::Render(perf_, 44100 * 5 / 2);
    EXPECT_EQ(perf_->IsPlaying(seg, nullptr), S_FALSE);
    ASSERT_EQ(Play(seg, true), S_OK);
    dmusic_testing::Render(perf_, 44100 * 5 / 2 + 64);  // five quarters at 120 beats per minute
    EXPECT_EQ(perf_->IsPlaying(seg, nullptr), S_FALSE);
    auto tail = dmusic_testing::Render(perf_, 4410);
    EXPECT_GT(Peak(tail), 0.001);
    auto later = dmusic_testing::Render(perf_, 44100 * 5);
    EXPECT_LT(Peak(later, later.size() - 4410), 0.001);
}

TEST_F(PerformanceTest, DownloadFailsLoudlyWithoutTheSoundFont)
{
    IDirectMusicSegment8* seg = Load("x.mid", MakeMidi(0, 96, {TwoNoteTrack(96, 192)}));
    ASSERT_TRUE(seg);
    dmusic_testing::SetSoundFontPath((dir_ / "missing.sf2").string());
    EXPECT_EQ(seg->Download(path_), DMUS_E_LOADER_FAILEDOPEN);
    dmusic_testing::SetSoundFontPath("/usr/share/sounds/sf2/default-GM.sf2");
}

TEST(PerformanceSetup, CallsBeforeInitAudioFail)
{
    dmusic_testing::UseManualClock(true);
    IDirectMusicPerformance8* perf = nullptr;
    ASSERT_EQ(DirectMusicCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                                        IID_IDirectMusicPerformance8, reinterpret_cast<void**>(&perf)),
              S_OK);
    IDirectMusicAudioPath8* path = nullptr;
    EXPECT_EQ(perf->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 64, TRUE, &path), DMUS_E_NOT_INIT);
    EXPECT_EQ(path, nullptr);
    IDirectMusicLoader8* wrong = nullptr;
    EXPECT_EQ(perf->QueryInterface(IID_IDirectMusicLoader8, reinterpret_cast<void**>(&wrong)), E_NOINTERFACE);
    ASSERT_EQ(perf->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, 0, nullptr), S_OK);
    EXPECT_EQ(perf->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, 0, nullptr),
              DMUS_E_ALREADY_INITED);
    EXPECT_EQ(perf->GetDefaultAudioPath(&path), S_OK);
    perf->CloseDown();
    EXPECT_EQ(perf->Release(), 0u);
    // The default path outlives its performance safely.
    EXPECT_EQ(path->SetVolume(-100, 0), DMUS_E_NOT_INIT);
    EXPECT_EQ(path->Release(), 0u);
    dmusic_testing::UseManualClock(false);
}

// The real output path: SDL's disk driver writes what the callback mixes to a file.
TEST(PerformanceOutput, DiskDriverReceivesTheMix)
{
    fs::path file = fs::temp_directory_path() / ("dmusic_disk_" + std::to_string(getpid()) + ".raw");
    fs::path wav = fs::temp_directory_path() / ("dmusic_disk_" + std::to_string(getpid()) + ".wav");
    ASSERT_TRUE(WriteFile(wav.string(), MakeSineWave(44100, 44100 * 2, 440, 0.5)));
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    dmusic_testing::UseManualClock(false);

    IDirectMusicPerformance8* perf = nullptr;
    IDirectMusicLoader8* loader = nullptr;
    ASSERT_EQ(DirectMusicCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                                        IID_IDirectMusicPerformance8, reinterpret_cast<void**>(&perf)),
              S_OK);
    ASSERT_EQ(DirectMusicCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                        reinterpret_cast<void**>(&loader)),
              S_OK);
    ASSERT_EQ(perf->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, 0, nullptr), S_OK);
    IDirectMusicSegment8* seg = nullptr;
    std::string name = wav.string();
    std::wstring wname(name.begin(), name.end());
    ASSERT_EQ(loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, wname.c_str(),
                                         reinterpret_cast<void**>(&seg)),
              S_OK);
    ASSERT_EQ(perf->PlaySegmentEx(seg, nullptr, nullptr, DMUS_SEGF_SECONDARY, 0, nullptr, nullptr, nullptr), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    perf->CloseDown();
    seg->Release();
    loader->Release();
    perf->Release();
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 4096u);
    double peak = 0;
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        float v;
        std::memcpy(&v, bytes.data() + i, 4);
        peak = std::max(peak, double(std::fabs(v)));
    }
    EXPECT_GT(peak, 0.3);
    EXPECT_LE(peak, 1.0);
    fs::remove(file);
    fs::remove(wav);
}

// A program that never takes its notifications fills the queue; the notifications past the
// limit are dropped, which a debugger hears of and the terminal does not.
TEST_F(PerformanceTest, AFullNotificationQueueIsADebuggerTrace)
{
    IDirectMusicSegment8* seg = Load("tick.wav", MakeConstantWave(44100, 16, 8192));
    ASSERT_TRUE(seg);
    ASSERT_EQ(seg->SetRepeats(DMUS_SEG_REPEAT_INFINITE), S_OK);
    ASSERT_EQ(Play(seg, true), S_OK);
    std::string terminal, debugger;
    {
        ScopedEnvironment quiet("PLATFORM_DEBUG_OUTPUT", "");
        testing::internal::CaptureStderr();
        dmusic_testing::Render(perf_, 16 * 5000);
        terminal = testing::internal::GetCapturedStderr();
    }
    EXPECT_EQ(terminal, "");
    EXPECT_EQ(dmusic_testing::NotificationHighWater(perf_), 4096u);
    EXPECT_EQ(Drain().size(), 4096u);
    // Taken, the queue fills afresh; at close-down the debugger hears how far it ever filled.
    ASSERT_EQ(perf_->StopEx(nullptr, 0, 0), S_OK);
    {
        ScopedEnvironment traced("PLATFORM_DEBUG_OUTPUT", "1");
        testing::internal::CaptureStderr();
        perf_->CloseDown();
        debugger = testing::internal::GetCapturedStderr();
    }
    EXPECT_NE(debugger.find("dmusic: segment notifications: at most 4096 of 4096 waited at once"), std::string::npos)
        << debugger;
}

// A machine without a sound device: InitAudio fails, every call after it fails as before, and
// the terminal gets one plain line for the whole run; the reasons are the debugger's.
TEST(PerformanceSetup, WithoutASoundDeviceTheTerminalGetsOneLine)
{
    dmusic_testing::UseManualClock(false);
    auto start = [] {
        IDirectMusicPerformance8* perf = nullptr;
        EXPECT_EQ(DirectMusicCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                                            IID_IDirectMusicPerformance8, reinterpret_cast<void**>(&perf)),
                  S_OK);
        EXPECT_EQ(perf->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, 0, nullptr),
                  E_FAIL);
        IDirectMusicAudioPath8* path = nullptr;
        EXPECT_EQ(perf->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 64, TRUE, &path), DMUS_E_NOT_INIT);
        perf->CloseDown();
        perf->Release();
    };
    const auto [first, second, traced] = StartWithoutASoundDevice(start);
    EXPECT_EQ(first, "No sound device could be opened: the game runs without sound.\n");
    EXPECT_EQ(second, "");
    EXPECT_NE(traced.find("dmusic: InitAudio failed (0x80004005): no audio: "), std::string::npos) << traced;
    EXPECT_NE(traced.find("dmusic: CreateStandardAudioPath failed"), std::string::npos) << traced;
    EXPECT_EQ(traced.find("No sound device"), std::string::npos) << traced;
}
