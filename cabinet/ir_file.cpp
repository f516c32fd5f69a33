// SPDX-License-Identifier: GPL-3.0-or-later
#include "ir_file.h"

#include "aiff_decoder.h"
#include "byte_reader.h"
#include "file_bytes.h"
#include "flac_decoder.h"
#include "ir_shape.h"
#include "wav_decoder.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace quarvine {
namespace {

IrLoad decodeByKind(std::span<const unsigned char> bytes)
{
    ByteReader r(bytes);
    const uint32_t magic = r.tag();
    r.skip(4);
    const uint32_t kind = r.tag();
    if (!r.overrun() && magic == fourCc("RIFF") && kind == fourCc("WAVE"))
        return decodeWav(bytes);
    if (!r.overrun() && magic == fourCc("FORM") && (kind == fourCc("AIFF") || kind == fourCc("AIFC")))
        return decodeAiff(bytes);
    if (bytes.size() >= 4 && magic == fourCc("fLaC"))
        return decodeFlac(bytes);
    return refused("not a WAV, AIFF or FLAC file");
}

std::string withoutFolders(const std::string& path)
{
#ifdef _WIN32
    const size_t slash = path.find_last_of("/\\");
#else
    const size_t slash = path.find_last_of('/');
#endif
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

IrLoad decodeImpulseResponse(std::span<const unsigned char> bytes, std::string name)
{
    IrLoad load;
    try {
        load = decodeByKind(bytes);
    } catch (const std::bad_alloc&) {
        return refused("not enough memory");
    }
    if (!load.ir)
        return load;
    const std::vector<float>& samples = load.ir->samples;
    if (!std::all_of(samples.begin(), samples.end(), [](float v) { return std::isfinite(v); }))
        return refused("samples that are not numbers (NaN or infinite)");
    if (std::all_of(samples.begin(), samples.end(), [](float v) { return v == 0.0f; }))
        return refused(kNoSound);
    load.ir->name = std::move(name);
    return load;
}

IrLoad readImpulseResponseFile(const std::string& utf8Path)
{
    FileBytes file;
    try {
        file = readRegularFile(utf8Path, kMaxIrFileBytes);
    } catch (const std::bad_alloc&) {
        return refused("not enough memory");
    }
    if (!file.error.empty())
        return refused(file.error);
    return decodeImpulseResponse(file.bytes, withoutFolders(utf8Path));
}

} // namespace quarvine
