#include "skerrow/Src/Digest.h"

#include <cstring>

namespace {

// The MD2 substitution: a permutation of 0..255 built from the digits of pi.
const uint8_t kMd2S[256] = {
    41,  46,  67,  201, 162, 216, 124, 1,   61,  54,  84,  161, 236, 240, 6,   19,  98,  167, 5,   243, 192, 199,
    115, 140, 152, 147, 43,  217, 188, 76,  130, 202, 30,  155, 87,  60,  253, 212, 224, 22,  103, 66,  111, 24,
    138, 23,  229, 18,  190, 78,  196, 214, 218, 158, 222, 73,  160, 251, 245, 142, 187, 47,  238, 122, 169, 104,
    121, 145, 21,  178, 7,   63,  148, 194, 16,  137, 11,  34,  95,  33,  128, 127, 93,  154, 90,  144, 50,  39,
    53,  62,  204, 231, 191, 247, 151, 3,   255, 25,  48,  179, 72,  165, 181, 209, 215, 94,  146, 42,  172, 86,
    170, 198, 79,  184, 56,  210, 150, 164, 125, 182, 118, 252, 107, 226, 156, 116, 4,   241, 69,  157, 112, 89,
    100, 113, 135, 32,  134, 91,  207, 101, 230, 45,  168, 2,   27,  96,  37,  173, 174, 176, 185, 246, 28,  70,
    97,  105, 52,  64,  126, 15,  85,  71,  163, 35,  221, 81,  175, 58,  195, 92,  249, 206, 186, 197, 234, 38,
    44,  83,  13,  110, 133, 40,  132, 9,   211, 223, 205, 244, 65,  129, 77,  82,  106, 220, 55,  200, 108, 193,
    171, 250, 36,  225, 123, 8,   12,  189, 177, 74,  120, 136, 149, 139, 227, 99,  232, 109, 233, 203, 213, 254,
    59,  0,   29,  57,  242, 239, 183, 14,  102, 88,  208, 228, 166, 119, 114, 248, 235, 117, 75,  10,  49,  68,
    80,  180, 143, 237, 31,  26,  219, 153, 141, 51,  159, 17,  131, 20,
};

void Md2Block(Md2State& s, const uint8_t* block)
{
    for (int i = 0; i < 16; ++i) {
        s.state[16 + i] = block[i];
        s.state[32 + i] = static_cast<uint8_t>(s.state[i] ^ block[i]);
    }
    unsigned t = 0;
    for (int round = 0; round < 18; ++round) {
        for (int k = 0; k < 48; ++k) t = s.state[k] ^= kMd2S[t];
        t = (t + static_cast<unsigned>(round)) & 0xFF;
    }
    // The checksum folds each byte in with XOR (the published errata's reading).
    unsigned l = s.checksum[15];
    for (int i = 0; i < 16; ++i) l = s.checksum[i] ^= kMd2S[block[i] ^ l];
}

void Md2Update(Md2State& s, const uint8_t* p, size_t n)
{
    while (n > 0) {
        size_t take = 16 - s.used;
        if (take > n) take = n;
        std::memcpy(s.buffer + s.used, p, take);
        s.used += static_cast<uint32_t>(take);
        p += take;
        n -= take;
        if (s.used == 16) {
            Md2Block(s, s.buffer);
            s.used = 0;
        }
    }
}

void Md2Final(Md2State& s, uint8_t* out)
{
    uint8_t pad[16];
    const uint8_t k = static_cast<uint8_t>(16 - s.used);
    std::memset(pad, k, sizeof pad);
    Md2Update(s, pad, k);
    uint8_t checksum[16];
    std::memcpy(checksum, s.checksum, 16);
    Md2Block(s, checksum);
    std::memcpy(out, s.state, 16);
}

inline uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
inline uint32_t Le32(const uint8_t* p)
{
    return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint32_t Be32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void Md4Block(uint32_t* h, const uint8_t* block)
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = Le32(block + 4 * i);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
    auto f = [](uint32_t x1, uint32_t y, uint32_t z) { return (x1 & y) | (~x1 & z); };
    auto g = [](uint32_t x1, uint32_t y, uint32_t z) { return (x1 & y) | (x1 & z) | (y & z); };
    auto hh = [](uint32_t x1, uint32_t y, uint32_t z) { return x1 ^ y ^ z; };
    static const int s1[4] = {3, 7, 11, 19}, s2[4] = {3, 5, 9, 13}, s3[4] = {3, 9, 11, 15};
    for (int i = 0; i < 16; ++i) {
        const uint32_t t = Rol(a + f(b, c, d) + x[i], s1[i & 3]);
        a = d; d = c; c = b; b = t;
    }
    static const int order2[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
    for (int i = 0; i < 16; ++i) {
        const uint32_t t = Rol(a + g(b, c, d) + x[order2[i]] + 0x5A827999u, s2[i & 3]);
        a = d; d = c; c = b; b = t;
    }
    static const int order3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    for (int i = 0; i < 16; ++i) {
        const uint32_t t = Rol(a + hh(b, c, d) + x[order3[i]] + 0x6ED9EBA1u, s3[i & 3]);
        a = d; d = c; c = b; b = t;
    }
    h[0] += a; h[1] += b; h[2] += c; h[3] += d;
}

const uint32_t kMd5T[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};
const int kMd5R[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 5, 9,  14, 20, 5, 9,
                       14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                       4, 11, 16, 23, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

void Md5Block(uint32_t* h, const uint8_t* block)
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = Le32(block + 4 * i);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) & 15;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) & 15;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) & 15;
        }
        const uint32_t t = d;
        d = c;
        c = b;
        b = b + Rol(a + f + kMd5T[i] + x[g], kMd5R[i]);
        a = t;
    }
    h[0] += a; h[1] += b; h[2] += c; h[3] += d;
}

void Sha1Block(uint32_t* h, const uint8_t* block)
{
    uint32_t w[80];
    for (int i = 0; i < 16; ++i) w[i] = Be32(block + 4 * i);
    for (int i = 16; i < 80; ++i) w[i] = Rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999u;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1u;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDCu;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6u;
        }
        const uint32_t t = Rol(a, 5) + f + e + k + w[i];
        e = d; d = c; c = Rol(b, 30); b = a; a = t;
    }
    h[0] += a; h[1] += b; h[2] += c; h[3] += d; h[4] += e;
}

void RunBlock(int32_t type, BlockHashState& s, const uint8_t* block)
{
    if (type == DIGEST_SHA1)
        Sha1Block(s.h, block);
    else if (type == DIGEST_MD4)
        Md4Block(s.h, block);
    else
        Md5Block(s.h, block);
}

void BlockUpdate(int32_t type, BlockHashState& s, const uint8_t* p, size_t n)
{
    s.length += n;
    while (n > 0) {
        size_t take = 64 - s.used;
        if (take > n) take = n;
        std::memcpy(s.buffer + s.used, p, take);
        s.used += static_cast<uint32_t>(take);
        p += take;
        n -= take;
        if (s.used == 64) {
            RunBlock(type, s, s.buffer);
            s.used = 0;
        }
    }
}

void BlockFinal(int32_t type, BlockHashState& s, uint8_t* out)
{
    const uint64_t bits = s.length * 8;
    const bool bigEndian = type == DIGEST_SHA1;
    uint8_t pad[72] = {0x80};
    const size_t padLength = (s.used < 56 ? 56 : 120) - s.used;
    uint8_t lengthBytes[8];
    for (int i = 0; i < 8; ++i)
        lengthBytes[i] = static_cast<uint8_t>(bigEndian ? bits >> (56 - 8 * i) : bits >> (8 * i));
    const uint64_t keep = s.length;
    BlockUpdate(type, s, pad, padLength);
    BlockUpdate(type, s, lengthBytes, 8);
    s.length = keep;
    const int words = bigEndian ? 5 : 4;
    for (int i = 0; i < words; ++i)
        for (int j = 0; j < 4; ++j)
            out[4 * i + j] = static_cast<uint8_t>(bigEndian ? s.h[i] >> (24 - 8 * j) : s.h[i] >> (8 * j));
}

}  // namespace

int DigestInit(DigestContext* context, int32_t type)
{
    context->type = type;
    switch (type) {
    case DIGEST_MD2:
        std::memset(&context->md2, 0, sizeof context->md2);
        return 0;
    case DIGEST_SHA1:
    case DIGEST_MD4:
    case DIGEST_MD5: {
        BlockHashState& s = context->block;
        std::memset(&s, 0, sizeof s);
        s.h[0] = 0x67452301u;
        s.h[1] = 0xEFCDAB89u;
        s.h[2] = 0x98BADCFEu;
        s.h[3] = 0x10325476u;
        s.h[4] = 0xC3D2E1F0u;
        return 0;
    }
    default:
        return kDigestUnknownType;
    }
}

int DigestUpdate(DigestContext* context, const void* bytes, size_t count)
{
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    if (count > 0 && !p) return kDigestUnknownType;
    switch (context->type) {
    case DIGEST_MD2:
        Md2Update(context->md2, p, count);
        return 0;
    case DIGEST_SHA1:
    case DIGEST_MD4:
    case DIGEST_MD5:
        BlockUpdate(context->type, context->block, p, count);
        return 0;
    default:
        return kDigestUnknownType;
    }
}

int DigestFinal(DigestContext* context, uint8_t* out, int32_t* outLength)
{
    if (outLength) *outLength = context->type == DIGEST_SHA1 ? 20 : 16;
    switch (context->type) {
    case DIGEST_MD2:
        Md2Final(context->md2, out);
        return 0;
    case DIGEST_SHA1:
    case DIGEST_MD4:
    case DIGEST_MD5:
        BlockFinal(context->type, context->block, out);
        return 0;
    default:
        return kDigestUnknownType;
    }
}
