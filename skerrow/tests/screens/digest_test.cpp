#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "skerrow/Src/Digest.h"

namespace {

std::string Hex(const uint8_t* p, int n)
{
    std::string s;
    char b[3];
    for (int i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02x", p[i]);
        s += b;
    }
    return s;
}

// Feeds `data` in pieces whose sizes follow `pieces` cyclically (0 = one call).
std::string Digest(int type, const std::string& data, const std::vector<size_t>& pieces = {})
{
    DigestContext c;
    EXPECT_EQ(DigestInit(&c, type), 0);
    size_t at = 0, k = 0;
    while (at < data.size()) {
        size_t n = pieces.empty() ? data.size() : pieces[k++ % pieces.size()];
        if (n > data.size() - at) n = data.size() - at;
        EXPECT_EQ(DigestUpdate(&c, data.data() + at, n), 0);
        at += n;
    }
    uint8_t out[20];
    int32_t length = 0;
    EXPECT_EQ(DigestFinal(&c, out, &length), 0);
    EXPECT_EQ(length, type == DIGEST_SHA1 ? 20 : 16);
    return Hex(out, length);
}

std::string Pseudo(uint32_t seed, size_t n)
{
    std::string out;
    uint32_t x = seed;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        out.push_back(static_cast<char>((x >> 16) & 0xFF));
    }
    return out;
}

const char* const kSuite[7] = {"", "a", "abc", "message digest", "abcdefghijklmnopqrstuvwxyz",
                               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                               "12345678901234567890123456789012345678901234567890123456789012345678901234567890"};

void CheckSuite(int type, const char* const* expected)
{
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(Digest(type, kSuite[i]), expected[i]) << "input " << i;
        // The same bytes in awkward pieces give the same digest.
        EXPECT_EQ(Digest(type, kSuite[i], {1, 3, 7}), expected[i]) << "input " << i;
    }
}

}  // namespace

TEST(Digest, Md2MatchesRfc1319Suite)
{
    const char* const expected[7] = {"8350e5a3e24c153df2275c9f80692773", "32ec01ec4a6dac72c0ab96fb34c0b5d1",
                                     "da853b0d3f88d99b30283a69e6ded6bb", "ab4f496bfb2a530b219ff33031fe06b0",
                                     "4e8ddff3650292ab5a4108c3aa47940b", "da33def2a42df13975352846c30338cd",
                                     "d5976f79d83d3a0dc9806c3c66f3efd8"};
    CheckSuite(DIGEST_MD2, expected);
}

TEST(Digest, Md4MatchesRfc1320Suite)
{
    const char* const expected[7] = {"31d6cfe0d16ae931b73c59d7e0c089c0", "bde52cb31de33e46245e05fbdbd6fb24",
                                     "a448017aaf21d8525fc10ae87aa6729d", "d9130a8164549fe818874806e1c7014b",
                                     "d79e1c308aa5bbcdeea8ed63df412da9", "043f8582f241db351ce627e153e7f0e4",
                                     "e33b4ddc9c38f2199c3e7b164fcc0536"};
    CheckSuite(DIGEST_MD4, expected);
}

TEST(Digest, Md5MatchesRfc1321Suite)
{
    const char* const expected[7] = {"d41d8cd98f00b204e9800998ecf8427e", "0cc175b9c0f1b6a831c399e269772661",
                                     "900150983cd24fb0d6963f7d28e17f72", "f96b697d7cb7938d525a2f31aaf161d0",
                                     "c3fcd3d76192e4007dfb496cca67e13b", "d174ab98d277d9f5a5611c2c9f419d9f",
                                     "57edf4a22be3c955ac49da2e2107b67a"};
    CheckSuite(DIGEST_MD5, expected);
}

TEST(Digest, Sha1MatchesFips180Examples)
{
    EXPECT_EQ(Digest(DIGEST_SHA1, ""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Digest(DIGEST_SHA1, "abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Digest(DIGEST_SHA1, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(Digest(DIGEST_SHA1, std::string(1000000, 'a'), {4096, 17}),
              "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

// Reference digests of pseudo-random inputs around the block and padding boundaries, made with
// an independent implementation; each input is also fed in irregular pieces.
TEST(Digest, Md5AndSha1AgreeWithReferenceOnPseudoRandomInputs)
{
    struct Case {
        uint32_t seed;
        size_t size;
        const char* md5;
        const char* sha1;
    };
    const Case cases[] = {
        {1, 1, "f664908b48b07e34c3472a6243f37cbf", "8b3291a6208fb6849c641e97ffe5b54c13ac84cb"},
        {2, 55, "73eae405f720b1412c6a5d634fafaee6", "14c33706323caea61569f4507bf6416735dc6f1a"},
        {3, 56, "2e3febe5263e13a9935591f2d02cce94", "e7ac92405de31e5f918de9b850915c1848c4c864"},
        {4, 63, "950a241dad11e50c202fc849916ff04a", "d9cf1f1e1799d890c9851044f7977ea8dbb84a68"},
        {5, 64, "5891eb23e838bdbe0d5c94be478b459e", "664fed86536892ac6788ad682641fe4503c3ef77"},
        {6, 65, "ab8247260bfad36ee4db7c874a48e9f4", "dc6b095531dc335bf3851453c156f2e85dd4484f"},
        {7, 119, "dd32f77965f9529e5f182d5eaa09b5f9", "3cfa3507a6be68d44a3a5c27496da3670e94b0d7"},
        {8, 120, "8dda3508dda08c31eebddb1ef838ad4f", "29b748157b01877345a90d32f5e730221bb65eab"},
        {9, 1000, "e2403aa9fdf8e9f593f6e04802317732", "66c807a0828b933c293a401e38f7cd7ed84c3b66"},
        {10, 4097, "784f418cf647dce6d72c8825991910ab", "67d4f2982d2dc2d8104fea6222af2da9c0510d0f"},
    };
    for (const Case& c : cases) {
        const std::string data = Pseudo(c.seed, c.size);
        EXPECT_EQ(Digest(DIGEST_MD5, data), c.md5) << c.size;
        EXPECT_EQ(Digest(DIGEST_MD5, data, {63, 1, 65, 2}), c.md5) << c.size;
        EXPECT_EQ(Digest(DIGEST_SHA1, data), c.sha1) << c.size;
        EXPECT_EQ(Digest(DIGEST_SHA1, data, {5, 64, 129}), c.sha1) << c.size;
    }
}

TEST(Digest, PiecesNeverChangeTheResultOfMd2AndMd4)
{
    for (size_t n : {15u, 16u, 17u, 63u, 64u, 300u}) {
        const std::string data = Pseudo(static_cast<uint32_t>(n), n);
        EXPECT_EQ(Digest(DIGEST_MD2, data), Digest(DIGEST_MD2, data, {1, 15, 16, 2}));
        EXPECT_EQ(Digest(DIGEST_MD4, data), Digest(DIGEST_MD4, data, {7, 57, 64}));
    }
}

TEST(Digest, UnknownTypesAreRefused)
{
    DigestContext c;
    EXPECT_EQ(DigestInit(&c, 1), kDigestUnknownType);
    EXPECT_EQ(DigestInit(&c, 6), kDigestUnknownType);
    EXPECT_EQ(DigestUpdate(&c, "x", 1), kDigestUnknownType);
    uint8_t out[20];
    int32_t length = 0;
    EXPECT_EQ(DigestFinal(&c, out, &length), kDigestUnknownType);
    EXPECT_EQ(length, 16);
}
