// SPDX-License-Identifier: GPL-3.0-or-later
// The impulse-response decoders on any bytes: a player can drop any file on the editor. Promises
// checked: the decoder answers (no crash, no hang, no read out of bounds under the sanitizers),
// with either an impulse response or a reason, never both or neither; and what it accepts is
// inside the limits: one or two source channels, 8 to 384 kHz, 1 to 10 s worth of finite samples
// that are not all zero.
//
// The FLAC frames' checksums turn nearly every mutated frame away before its subframes are read,
// so an input that starts with a zero byte (no file does) goes to one FLAC subframe directly: a
// byte for the bit depth, two for the block size, then the subframe's bits. Promise checked there:
// a subframe decoded without complaint holds only samples of its bit depth.
#include "cabinet/flac_subframe.h"
#include "cabinet/ir_file.h"
#include "fuzz_check.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

void decodeOneSubframe(const uint8_t* data, size_t size)
{
    if (size < 4)
        return;
    const int bits = 4 + data[1] % 30; // 4 to 33, the side channel of 32-bit samples included
    std::vector<int64_t> samples(1 + (data[2] | static_cast<size_t>(data[3]) << 8));
    quarvine::BitReader reader({data + 4, size - 4});
    if (quarvine::decodeSubframe(reader, bits, samples) != quarvine::FlacStatus::Ok)
        return;
    const int64_t half = int64_t{1} << (bits - 1);
    for (int64_t v : samples)
        FUZZ_CHECK(v >= -half && v < half, "%lld in a subframe of %d bits", static_cast<long long>(v), bits);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0 && data[0] == 0) {
        decodeOneSubframe(data, size);
        return 0;
    }
    const quarvine::IrLoad load = quarvine::decodeImpulseResponse({data, size}, "fuzz");
    FUZZ_CHECK(load.ir.has_value() == load.error.empty(), "an answer with %s", load.ir ? "a reason" : "no reason");
    if (!load.ir)
        return 0;
    const quarvine::ImpulseResponseFile& ir = *load.ir;
    FUZZ_CHECK(ir.sourceChannels == 1 || ir.sourceChannels == 2, "%d channels", ir.sourceChannels);
    FUZZ_CHECK(ir.sampleRate >= 8000.0 && ir.sampleRate <= 384000.0, "a rate of %g Hz", ir.sampleRate);
    FUZZ_CHECK(!ir.samples.empty() && static_cast<double>(ir.samples.size()) <= 10.0 * ir.sampleRate,
               "%zu samples at %g Hz", ir.samples.size(), ir.sampleRate);
    FUZZ_CHECK(std::all_of(ir.samples.begin(), ir.samples.end(), [](float v) { return std::isfinite(v); }),
               "a sample that is not finite");
    FUZZ_CHECK(std::any_of(ir.samples.begin(), ir.samples.end(), [](float v) { return v != 0.0f; }),
               "only zeros");
    FUZZ_CHECK(ir.name == "fuzz", "the name became %s", ir.name.c_str());
    return 0;
}
