#include "skerrow/Src/Tables.h"

#include <cmath>
#include <ctime>

#include "platform/win32/crt_rand.h"

double g_sinTable[kTrigEntries];
double g_cosTable[kTrigEntries];
double g_tanTable[kTrigEntries];
uint8_t g_intensityTable[100][32];
const uint16_t g_storedColors[26] = {0x7FFF, 0x0000, 0x7C00, 0x3C00, 0x03E0, 0x01E0, 0x001F, 0x000F, 0x7FE0,
                                     0x7C1F, 0x03FF, 0x7DE0, 0x3DEF, 0x0000, 0x01E0, 0x0280, 0x0301, 0x0F07,
                                     0x3F1F, 0xFF7F, 0x2E31, 0x2E31, 0x0033, 0x0000, 0x1FD4, 0x0046};
uint16_t g_colors[26];
double g_pi = 3.14159265359;
PixelShifts PixelFormatShifts = {10, 5};

void BuildStartupTables()
{
    for (int p = 0; p < 100; ++p)
        for (int v = 0; v < 32; ++v) g_intensityTable[p][v] = static_cast<uint8_t>(v * p / 100);
    for (int i = 0; i < kTrigEntries; ++i) {
        double a = i * 3.14159265359 / 1440;
        g_sinTable[i] = std::sin(a);
        g_cosTable[i] = std::cos(a);
        g_tanTable[i] = (i == 720 || i == 2160) ? 0.0 : std::tan(a);
    }
    g_cosTable[720] = 0.0;
    SeedRandomFromClock();
}

void ConvertColorTable()
{
    for (int i = 0; i < 26; ++i) {
        uint16_t c = g_storedColors[i];
        g_colors[i] = static_cast<uint16_t>((c & 0x1F) | ((c >> 10) & 0x1F) << PixelFormatShifts.red |
                                            ((c >> 5) & 0x1F) << PixelFormatShifts.green);
    }
}

int AngleIndex(float degrees)
{
    int i = static_cast<int>(degrees * 8.0f) % kTrigEntries;
    if (i < 0) i += kTrigEntries;
    return i;
}

double SinDeg(float degrees) { return g_sinTable[AngleIndex(degrees)]; }
double CosDeg(float degrees) { return g_cosTable[AngleIndex(degrees)]; }

// A range of zero or less has only one answer; dividing by it would crash.
int RandomInt(int n) { return n != 0 ? rand() % n : 0; }
int RandomRange(int lo, int hi) { return hi != lo ? lo + rand() % (hi - lo) : lo; }
int RandomSpread(int a) { return a != 0 ? rand() % (2 * a) - a : 0; }
void SeedRandomFromClock() { srand(static_cast<unsigned>(std::time(nullptr))); }

float Square(float x) { return x * x; }

void TranslateRect(RECT* rect, int dx, int dy)
{
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
}

void MoveRectTo(RECT* rect, int x, int y)
{
    TranslateRect(rect, x - rect->left, y - rect->top);
}

float Vector2::Length() const { return std::sqrt(x * x + y * y); }

void Vector2::Normalize()
{
    float len = Length();
    if (len != 0.0f) {
        x /= len;
        y /= len;
    }
}
