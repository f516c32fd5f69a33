// SPDX-License-Identifier: GPL-3.0-or-later
// A cabinet impulse response the player brings: a WAV, AIFF or FLAC file, read and decoded off the
// audio thread. Whatever the file holds comes back as one mono channel of floats at the file's own
// rate, or as a short reason, fit for the editor's name plate, why it was refused.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quarvine {

struct ImpulseResponseFile {
    std::string name;           // the file's name without folders, for the editor's name plate
    double sampleRate = 0;      // Hz
    int sourceChannels = 0;     // 1 or 2 as stored
    std::vector<float> samples; // mono: a stereo file becomes the mean of its two channels
};

// Either an impulse response (error empty) or why there is none (ir empty).
struct IrLoad {
    std::optional<ImpulseResponseFile> ir;
    std::string error;
};

// Reads and decodes the file at a UTF-8 path. Never blocks on a FIFO or a device: only regular
// files up to 128 MiB are read.
IrLoad readImpulseResponseFile(const std::string& utf8Path);

// Decodes a whole file already in memory; name goes to the result as it is.
IrLoad decodeImpulseResponse(std::span<const unsigned char> bytes, std::string name);

} // namespace quarvine
