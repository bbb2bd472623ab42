// One interface over four message digests (MD2, SHA-1, MD4, MD5), selected by a type id. The
// save files carry an MD5 of their contents; the others come through the same calls.
#pragma once

#include <cstddef>
#include <cstdint>

enum DigestType : int32_t {
    DIGEST_MD2 = 2,
    DIGEST_SHA1 = 3,
    DIGEST_MD4 = 4,
    DIGEST_MD5 = 5,
};

// Returned for a type id that names no algorithm.
const int kDigestUnknownType = 1026;

struct Md2State {
    uint8_t state[48];
    uint8_t checksum[16];
    uint8_t buffer[16];
    uint32_t used;
};

// MD4, MD5 and SHA-1 share the 64-byte block layout.
struct BlockHashState {
    uint32_t h[5];
    uint64_t length;  // bytes fed so far
    uint8_t buffer[64];
    uint32_t used;
};

struct DigestContext {
    int32_t type;
    union {
        Md2State md2;
        BlockHashState block;
    };
};

int DigestInit(DigestContext* context, int32_t type);
int DigestUpdate(DigestContext* context, const void* bytes, size_t count);
int DigestFinal(DigestContext* context, uint8_t* out, int32_t* outLength);
