#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Lines up a host's rendering with a reference before the two are compared sample by sample.

A host may start its output a few frames early or late (latency, a leading offset); the lag is
taken from the data by cross-correlation, never assumed.

Usage: wav-align.py frames FILE
         prints the frame count of a 32-bit float WAV file
       wav-align.py align REFERENCE ACTUAL OUT [MAX-LAG]
         prints the lag of ACTUAL behind REFERENCE (in frames, negative when early, at most
         MAX-LAG either way, default 8192) and writes ACTUAL shifted by it and cut or padded with
         silence to REFERENCE's length as OUT (32-bit float WAV)
"""
import struct
import sys

import numpy as np


def read_wav(path):
    """(rate, frames x channels float64 array) of a 32-bit float WAV file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        sys.exit(f"wav-align: {path} is not a WAV file")
    fmt = samples = None
    pos = 12
    while pos + 8 <= len(data):
        chunk, size = data[pos:pos + 4], struct.unpack_from("<I", data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if chunk == b"fmt ":
            tag, channels, rate = struct.unpack_from("<HHI", body)
            bits = struct.unpack_from("<H", body, 14)[0]
            if tag == 0xFFFE:  # extensible: the real tag opens the sub-format GUID
                tag = struct.unpack_from("<H", body, 24)[0]
            fmt = (tag, channels, rate, bits)
        elif chunk == b"data":
            samples = body
        pos += 8 + size + (size & 1)
    if fmt is None or samples is None:
        sys.exit(f"wav-align: {path} has no fmt or data chunk")
    tag, channels, rate, bits = fmt
    if tag != 3 or bits != 32:
        sys.exit(f"wav-align: {path} is not 32-bit float (format {tag}, {bits} bits)")
    audio = np.frombuffer(samples[:len(samples) // (4 * channels) * 4 * channels], dtype="<f4")
    return rate, audio.reshape(-1, channels).astype(np.float64)


def write_wav(path, rate, audio):
    channels = audio.shape[1]
    body = audio.astype("<f4").tobytes()
    header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + len(body), b"WAVE", b"fmt ", 16, 3, channels,
                         rate, rate * 4 * channels, 4 * channels, 32, b"data", len(body))
    with open(path, "wb") as f:
        f.write(header + body)


def lag_of(reference, actual, max_lag):
    """Frames by which actual runs behind reference: the peak of their cross-correlation."""
    r, a = reference.sum(axis=1), actual.sum(axis=1)
    n = 1
    while n < len(r) + len(a):
        n *= 2
    corr = np.fft.irfft(np.fft.rfft(a, n) * np.conj(np.fft.rfft(r, n)), n)
    lags = np.arange(-max_lag, max_lag + 1)
    return int(lags[np.argmax(corr[lags % n])])


def main(argv):
    if len(argv) == 3 and argv[1] == "frames":
        print(read_wav(argv[2])[1].shape[0])
        return 0
    if len(argv) in (5, 6) and argv[1] == "align":
        rate, reference = read_wav(argv[2])
        actual_rate, actual = read_wav(argv[3])
        if actual_rate != rate or actual.shape[1] != reference.shape[1]:
            sys.exit("wav-align: the files differ in rate or channels")
        lag = lag_of(reference, actual, int(argv[5]) if len(argv) == 6 else 8192)
        shifted = actual[lag:] if lag >= 0 else np.vstack([np.zeros((-lag, actual.shape[1])), actual])
        aligned = np.zeros_like(reference)
        count = min(len(reference), len(shifted))
        aligned[:count] = shifted[:count]
        write_wav(argv[4], rate, aligned)
        print(lag)
        return 0
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
