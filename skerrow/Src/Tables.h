// Tables built once at start, random helpers, Vector2 and small rectangle helpers.
#pragma once

#include <cstdint>

#include "platform/win32/wintypes.h"

const int kTrigEntries = 2880;  // eighths of a degree
extern double g_sinTable[kTrigEntries];
extern double g_cosTable[kTrigEntries];
extern double g_tanTable[kTrigEntries];
extern uint8_t g_intensityTable[100][32];
extern const uint16_t g_storedColors[26];
extern uint16_t g_colors[26];
extern double g_pi;

struct PixelShifts {
    uint8_t red;
    uint8_t green;
};
extern PixelShifts PixelFormatShifts;

void BuildStartupTables();
void ConvertColorTable();

// Table index of an angle in degrees, wrapped into 0..359.875 so that 360 and negative angles
// stay inside the tables.
int AngleIndex(float degrees);
double SinDeg(float degrees);
double CosDeg(float degrees);

// Random helpers over the runtime library's 15-bit generator (crt_rand.h).
int RandomInt(int n);
int RandomRange(int lo, int hi);
int RandomSpread(int a);
void SeedRandomFromClock();

float Square(float x);
void TranslateRect(RECT* rect, int dx, int dy);
void MoveRectTo(RECT* rect, int x, int y);

struct Vector2 {
    float x = 0.0f, y = 0.0f;
    Vector2() = default;
    Vector2(float ax, float ay) : x(ax), y(ay) {}
    void Set(float ax, float ay)
    {
        x = ax;
        y = ay;
    }
    Vector2 operator+(const Vector2& o) const { return Vector2(x + o.x, y + o.y); }
    Vector2 operator-(const Vector2& o) const { return Vector2(x - o.x, y - o.y); }
    Vector2& operator+=(const Vector2& o)
    {
        x += o.x;
        y += o.y;
        return *this;
    }
    Vector2& operator*=(int k)
    {
        x *= static_cast<float>(k);
        y *= static_cast<float>(k);
        return *this;
    }
    Vector2 operator*(float k) const { return Vector2(x * k, y * k); }
    Vector2 operator/(float k) const { return Vector2(x / k, y / k); }
    float Length() const;
    void Normalize();
};
