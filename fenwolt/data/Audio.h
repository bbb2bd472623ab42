// Sound effects synthesised from noise, tones, envelopes and filters, and the three
// General MIDI pieces composed here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fwdata {

constexpr int kSampleRate = 22050;

struct Sound {
    std::string file;               // "wav\\kick.wav", ...
    std::vector<int16_t> samples;   // mono, kSampleRate
    bool loops;                     // made to repeat without a seam
};
std::vector<Sound> BuildSounds();
std::vector<unsigned char> EncodeWav(const std::vector<int16_t>& samples, int rate);

struct MidiPiece {
    std::string file;
    std::vector<unsigned char> bytes;   // a complete standard MIDI file, format 1
};
std::vector<MidiPiece> BuildMusic();

}  // namespace fwdata
