#include "skerrow/data/S3mWriter.h"
#include "skerrow/tests/data/Readers.h"

#include <gtest/gtest.h>

namespace {

using testread::Le16;
using testread::Le32;

S3mSong SmallSong() {
    S3mSong song;
    song.name = "test";
    song.speed = 5;
    song.tempo = 140;
    song.pans = {3, 12, 7};
    S3mSample s;
    s.name = "saw";
    for (int i = 0; i < 100; ++i) s.data.push_back(int8_t(i - 50));
    s.loop = true;
    s.loopBegin = 10;
    s.loopEnd = 100;
    s.volume = 50;
    s.c2spd = 16744;
    song.samples = {s};
    S3mPattern p(3);
    p.At(0, 0) = {S3mNote(4, 0), 1, 64, S3mCommand('H'), 0x34};
    p.At(0, 2) = {254, 0, 255, 0, 0};
    p.At(17, 1) = {0, 0, 20, 0, 0};
    p.At(63, 0) = {0, 0, 255, S3mCommand('B'), 0};
    song.patterns = {p};
    song.orders = {0};
    return song;
}

// Unpacks one pattern as the player does: rows end at a zero byte, flags 0x20/0x40/0x80.
std::vector<S3mCell> Unpack(const std::vector<uint8_t>& b, size_t at, int channels) {
    std::vector<S3mCell> cells(size_t(64) * channels);
    size_t i = at + 2;
    for (int row = 0; row < 64 && i < b.size();) {
        const uint8_t what = b[i++];
        if (what == 0) {
            ++row;
            continue;
        }
        S3mCell c;
        if (what & 0x20) {
            c.note = b[i++];
            c.inst = b[i++];
        }
        if (what & 0x40) c.vol = b[i++];
        if (what & 0x80) {
            c.cmd = b[i++];
            c.info = b[i++];
        }
        if ((what & 31) < channels) cells[size_t(row) * channels + (what & 31)] = c;
    }
    return cells;
}

TEST(S3mWriter, HeaderInstrumentsAndPatternsReadBack) {
    const S3mSong song = SmallSong();
    std::string error;
    const std::vector<uint8_t> b = WriteS3m(song, &error);
    ASSERT_FALSE(b.empty()) << error;
    EXPECT_EQ(std::string(b.begin() + 44, b.begin() + 48), "SCRM");
    const int orders = Le16(b, 32), ins = Le16(b, 34), pats = Le16(b, 36);
    EXPECT_EQ(orders % 2, 0);
    EXPECT_EQ(b[96], 0);      // the order itself
    EXPECT_EQ(b[97], 255);    // padding to an even count
    EXPECT_EQ(ins, 1);
    EXPECT_EQ(pats, 1);
    EXPECT_EQ(b[49], 5);
    EXPECT_EQ(b[50], 140);
    EXPECT_EQ(b[53], 252);
    // Enabled channels: settings below 16, left ones 0..7 and right ones 8..15.
    int enabled = 0;
    for (int ch = 0; ch < 32; ++ch) enabled += b[64 + ch] < 16;
    EXPECT_EQ(enabled, 3);
    EXPECT_LT(b[64], 8);
    EXPECT_GE(b[65], 8);
    const size_t pans = 96 + orders + 2 * ins + 2 * pats;
    EXPECT_EQ(b[pans + 0], 0x20 | 3);
    EXPECT_EQ(b[pans + 1], 0x20 | 12);

    const size_t insAt = size_t(Le16(b, 96 + orders)) * 16;
    EXPECT_EQ(b[insAt], 1);
    EXPECT_EQ(std::string(b.begin() + insAt + 76, b.begin() + insAt + 80), "SCRS");
    EXPECT_EQ(Le32(b, insAt + 16), 100u);
    EXPECT_EQ(Le32(b, insAt + 20), 10u);
    EXPECT_EQ(Le32(b, insAt + 24), 100u);
    EXPECT_EQ(b[insAt + 28], 50);
    EXPECT_EQ(b[insAt + 31] & 1, 1);
    EXPECT_EQ(Le32(b, insAt + 32), 16744u);
    const size_t dataAt = ((size_t(b[insAt + 13]) << 16) + Le16(b, insAt + 14)) * 16;
    ASSERT_LE(dataAt + 100, b.size());
    EXPECT_EQ(b[dataAt], 128 - 50);  // signed samples are stored unsigned
    EXPECT_EQ(b[dataAt + 99], 128 + 49);

    const size_t patAt = size_t(Le16(b, 96 + orders + 2)) * 16;
    EXPECT_EQ(patAt + Le16(b, patAt), b.size());  // the packed length covers the pattern
    const std::vector<S3mCell> cells = Unpack(b, patAt, 3);
    const S3mPattern& p = song.patterns[0];
    for (size_t i = 0; i < cells.size(); ++i) {
        const S3mCell& want = p.cells[i];
        EXPECT_EQ(cells[i].note, want.note) << i;
        EXPECT_EQ(cells[i].inst, want.inst) << i;
        EXPECT_EQ(cells[i].vol, want.vol) << i;
        EXPECT_EQ(cells[i].cmd, want.cmd) << i;
        EXPECT_EQ(cells[i].info, want.info) << i;
    }
}

TEST(S3mWriter, RefusesSongsThePlayerWouldMisread) {
    std::string error;
    S3mSong s = SmallSong();
    s.patterns[0].At(5, 1) = {0, 1, 255, 0, 0};  // instrument without a note replays the last note
    EXPECT_TRUE(WriteS3m(s, &error).empty());
    s = SmallSong();
    s.samples[0].loopEnd = 101;
    EXPECT_TRUE(WriteS3m(s, &error).empty());
    s = SmallSong();
    s.pans.assign(17, 3);
    EXPECT_TRUE(WriteS3m(s, &error).empty());
    s = SmallSong();
    s.pans.assign(9, 3);  // nine channels cannot all be on the left
    for (auto& p : s.patterns) p = S3mPattern(9);
    EXPECT_TRUE(WriteS3m(s, &error).empty());
    s = SmallSong();
    s.patterns[0].At(1, 0) = {S3mNote(4, 12), 1, 255, 0, 0};
    EXPECT_TRUE(WriteS3m(s, &error).empty());
    s = SmallSong();
    s.patterns[0].At(1, 0) = {S3mNote(4, 0), 2, 255, 0, 0};
    EXPECT_TRUE(WriteS3m(s, &error).empty());
    EXPECT_FALSE(error.empty());
}

}  // namespace
