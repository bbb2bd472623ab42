// Full-screen blits of the 2D display against a plain memcpy of the same bytes.
#include "bench/support/bench_main.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/ddraw/ddraw.h"

namespace {

struct Surfaces {
    LPDIRECTDRAW7 dd = nullptr;
    LPDIRECTDRAWSURFACE7 src = nullptr, dst = nullptr;
    Surfaces()
    {
        DirectDrawCreateEx(nullptr, reinterpret_cast<LPVOID*>(&dd), IID_IDirectDraw7, nullptr);
        dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
        src = Make();
        dst = Make();
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        src->Lock(nullptr, &d, DDLOCK_WAIT, nullptr);
        // A sprite-like picture: about a third of the pixels are the key colour.
        for (int y = 0; y < 480; ++y) {
            uint16_t* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch);
            for (int x = 0; x < 640; ++x) row[x] = (x / 7 + y / 5) % 3 == 0 ? 0xF81F : static_cast<uint16_t>(x * 31 + y);
        }
        src->Unlock(nullptr);
        DDCOLORKEY key = {0xF81F, 0xF81F};
        src->SetColorKey(DDCKEY_SRCBLT, &key);
    }
    ~Surfaces()
    {
        src->Release();
        dst->Release();
        dd->Release();
    }
    LPDIRECTDRAWSURFACE7 Make()
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = 640;
        d.dwHeight = 480;
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        d.ddpfPixelFormat = {sizeof(DDPIXELFORMAT), DDPF_RGB, 0, 16, 0xF800, 0x07E0, 0x001F, 0};
        LPDIRECTDRAWSURFACE7 s = nullptr;
        dd->CreateSurface(&d, &s, nullptr);
        return s;
    }
};

void BM_Memcpy640x480x16(benchmark::State& state)
{
    std::vector<uint8_t> a(640 * 480 * 2, 1), b(640 * 480 * 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(a.size()));
}
BENCHMARK(BM_Memcpy640x480x16)->Unit(benchmark::kMicrosecond);

void BM_BltFastFullScreen(benchmark::State& state)
{
    Surfaces s;
    for (auto _ : state) {
        s.dst->BltFast(0, 0, s.src, nullptr, DDBLTFAST_WAIT);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 640 * 480 * 2);
}
BENCHMARK(BM_BltFastFullScreen)->Unit(benchmark::kMicrosecond);

void BM_BltFastColourKeyedFullScreen(benchmark::State& state)
{
    Surfaces s;
    for (auto _ : state) {
        s.dst->BltFast(0, 0, s.src, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 640 * 480 * 2);
}
BENCHMARK(BM_BltFastColourKeyedFullScreen)->Unit(benchmark::kMicrosecond);

void BM_BltColourKeyedStretchFullScreen(benchmark::State& state)
{
    Surfaces s;
    RECT half = {0, 0, 320, 240};
    for (auto _ : state) {
        s.dst->Blt(nullptr, s.src, &half, DDBLT_KEYSRC | DDBLT_WAIT, nullptr);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BltColourKeyedStretchFullScreen)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return benchmain::Main(argc, argv); }
