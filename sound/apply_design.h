#pragma once

#include "model/document.h"

#include <string>

// What `--apply FILE IN OUT [--resample]` does once FILE's design is read:
// filters the sound file inPath with the design and writes outPath.
//
// Every channel runs through its own copy of the coefficient export's
// cascade in double precision (runCascade), sample for sample, with no
// crossfade, no limiter and no dither: the result is the cascade's output
// rounded once to the output's sample format. OUT's extension chooses the
// format: ".wav" 32-bit float WAV (values beyond ±1 kept), ".flac" 24-bit FLAC
// and ".ogg" / ".oga" Ogg Vorbis (values beyond ±1 clipped, as those formats
// must). OUT has the design's sample rate and IN's channels.
//
// IN's rate must be the design's; with resample, libsoxr (very high quality,
// linear phase) converts it to the design's rate first. The file is streamed
// in blocks, so its length is not limited by memory.
//
// OUT is written to a new file beside it and renamed over OUT only once
// complete, so a refusal or a failure leaves OUT as it was. IN and OUT may be
// the same file. Returns "" on success, otherwise one line naming the file
// and the problem:
//   "OUT: unknown extension \".mp3\" (.wav, .flac or .ogg)"
//   "IN: no such file"
//   "IN: not a sound file libsndfile reads: REASON"
//   "IN: sample rate 48000 Hz, but the design's is 44100 Hz (--resample converts it)"
//   "OUT: cannot write: REASON"
//   "OUT: the filtered sound is not finite (unstable filter or too much gain)"
std::string applyDesign(const Document& design, const std::string& inPath, const std::string& outPath, bool resample);
