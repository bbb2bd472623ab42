// `skerrow-tool render-s3m IN.s3m OUT.wav [seconds]`: renders a module through the game's
// module player (44100 Hz, 16-bit stereo, interpolated) into a WAV file, to check it by ear.
#pragma once

int RenderS3mCommand(int argc, char** argv);
