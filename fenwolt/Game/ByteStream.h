// Little-endian fields of saved files and network messages, written and read one by one so that
// neither the records' alignment nor the host's byte order reaches the bytes.
#pragma once

#include "platform/d3d8/d3d8types.h"
#include "platform/win32/byte_order.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Writes into a buffer of fixed size; a field that would run past its end is left out.
class ByteWriter {
public:
    ByteWriter(uint8_t* out, size_t size) : out_(out), size_(size) {}
    void U8(uint8_t v) { Put(&v, 1); }
    void I32(int32_t v)
    {
        const uint32_t u = (uint32_t)v;
        const uint8_t b[4] = {(uint8_t)u, (uint8_t)(u >> 8), (uint8_t)(u >> 16), (uint8_t)(u >> 24)};
        Put(b, 4);
    }
    void F32(float v)
    {
        int32_t i;
        std::memcpy(&i, &v, 4);
        I32(i);
    }
    void Vec(const D3DVECTOR& v)
    {
        F32(v.x);
        F32(v.y);
        F32(v.z);
    }
    void Bytes(const void* data, size_t n) { Put(data, n); }
    // A text field of `size` bytes: the text cut to size - 1 characters, then zeros.
    void Text(const char* text, size_t size)
    {
        const size_t n = strnlen(text, size - 1);
        Put(text, n);
        Zeros(size - n);
    }
    void Zeros(size_t n)
    {
        for (size_t i = 0; i < n; ++i) U8(0);
    }
    size_t Position() const { return pos_; }

private:
    void Put(const void* data, size_t n)
    {
        if (pos_ + n > size_) {
            pos_ = size_;
            return;
        }
        std::memcpy(out_ + pos_, data, n);
        pos_ += n;
    }
    uint8_t* out_;
    size_t size_;
    size_t pos_ = 0;
};

// Reads with checks: once a field runs past the end or fails its check, the reading has failed
// and every later field reads as zeros.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool ok() const { return ok_; }
    size_t Position() const { return pos_; }
    void Fail() { ok_ = false; }
    uint8_t U8()
    {
        uint8_t v = 0;
        Get(&v, 1);
        return v;
    }
    int32_t I32()
    {
        uint8_t b[4] = {};
        Get(b, 4);
        return (int32_t)LoadLe32(b);
    }
    // A 32-bit field that must lie in [lowest, highest].
    int32_t I32In(int32_t lowest, int32_t highest)
    {
        const int32_t v = I32();
        if (v < lowest || v > highest) ok_ = false;
        return v;
    }
    uint8_t Flag()
    {
        const uint8_t v = U8();
        if (v > 1) ok_ = false;
        return v;
    }
    // Every float these records hold is a finite number.
    float F32()
    {
        const int32_t i = I32();
        float v;
        std::memcpy(&v, &i, 4);
        if (!std::isfinite(v)) ok_ = false;
        return v;
    }
    float F32In(float lowest, float highest)
    {
        const float v = F32();
        if (!(v >= lowest && v <= highest)) ok_ = false;
        return v;
    }
    D3DVECTOR Vec()
    {
        D3DVECTOR v;
        v.x = F32();
        v.y = F32();
        v.z = F32();
        return v;
    }
    void Bytes(void* out, size_t n) { Get(out, n); }
    // A text field: always terminated within its size, and within `maxLength` characters.
    void Text(char* out, size_t n, size_t maxLength)
    {
        Get(out, n);
        if (n == 0) return;
        out[n - 1] = 0;
        if (maxLength < n) out[maxLength] = 0;
    }
    void Text(char* out, size_t n) { Text(out, n, n - 1); }
    void Skip(size_t n)
    {
        if (pos_ + n > size_) {
            ok_ = false;
            pos_ = size_;
            return;
        }
        pos_ += n;
    }

private:
    void Get(void* out, size_t n)
    {
        if (!ok_ || pos_ + n > size_) {
            ok_ = false;
            std::memset(out, 0, n);
            pos_ = size_;
            return;
        }
        std::memcpy(out, data_ + pos_, n);
        pos_ += n;
    }
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};
