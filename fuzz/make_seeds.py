#!/usr/bin/env python3
"""Writes the binary seeds of the fuzz targets (recordings and engine runs) into
fuzz/corpus/<target>/. Run it again after changing a seed and commit what it writes; the text
seeds of fuzz_settings and fuzz_reference are kept as they are written."""

import math, os, random, shutil, struct

HERE = os.path.dirname(os.path.abspath(__file__))
pack = struct.pack


def write(target, name, data):
    os.makedirs(os.path.join(HERE, "corpus", target), exist_ok=True)
    with open(os.path.join(HERE, "corpus", target, name), "wb") as f:
        f.write(data)


def wav(channels, rate, tag, bits, frames, volts, amps, phase, fmt="<hh", full=32767, zero=0):
    """A RIFF WAVE file of the adaptor's 50 Hz voltage and current, as fractions of full scale."""
    data = b"".join(pack(fmt, *[zero + round(x * full) if full else x
                                for x in (volts * math.sin(t), amps * math.sin(t - phase))])
                    for t in (2 * math.pi * 50 * k / 11025 for k in range(frames)))
    size = channels * bits // 8
    fmt_chunk = b"fmt " + pack("<IHHIIHH", 16, tag, channels, rate, rate * size, size, bits)
    body = b"WAVE" + fmt_chunk + b"data" + pack("<I", len(data)) + data
    return b"RIFF" + pack("<I", len(body)) + body


# Recordings: 16-bit PCM as captured, 8-bit, float beyond full scale (clipped), and refused ones.
write("recording", "pcm16_one_block.wav", wav(2, 11025, 1, 16, 4096, 0.5, 0.3, 0.5))
write("recording", "pcm8_one_block.wav", wav(2, 11025, 1, 8, 4096, 0.9, 0.2, 1, "<BB", 127, 128))
write("recording", "float_overrange.wav", wav(2, 11025, 3, 32, 4096, 1.5, 0.1, 0, "<ff", None))
write("recording", "too_short.wav", wav(2, 11025, 1, 16, 100, 0.5, 0.3, 0.0))
write("recording", "mono.wav", wav(1, 11025, 1, 16, 2048, 0.5, 0.5, 0.0))
write("recording", "rate_8000.wav", wav(2, 8000, 1, 16, 4096, 0.5, 0.3, 0.0))

# The engine: every kind of buffer against every pair of these divisors (tiny and denormal ones
# overflow the readings, huge ones make them vanish, negative ones turn their signs), the kinds
# taking turns so that each meets every divisor on both channels; four buffers each. Then a
# mains buffer through a calibration, and a run without START.
shutil.rmtree(os.path.join(HERE, "corpus", "engine"), ignore_errors=True)
rng = random.Random(20240611)
square = b"".join(pack("<hh", *[(32767, -32768), (-32768, 32767)][k // 110]) for k in range(220))
kinds = [("random", 0, pack("<2048h", *(rng.randint(-32768, 32767) for _ in range(2048)))),
         ("square", 0, square), ("square_every_frame", 4, square),
         ("alternating", 0, pack("<4h", 32767, 32767, -32768, -32768)),
         ("top", 0, pack("<h", 32767)), ("bottom", 0, pack("<h", -32768)), ("silence", 0, b"")]
divisors = [1.0, 0.0125, 1e-300, 5e-324, 2.5e-310, 1e300, 1.7976931348623157e308,
            -1.0, -1e-300, -1e300, -5e-324]
for i, volts in enumerate(divisors):
    for j, amps in enumerate(divisors):
        name, run, samples = kinds[(i + 2 * j) % len(kinds)]
        write("engine", f"{name}_{i}_{j}.bin", pack("<ddB", volts, amps, run | 3) + samples)
sine = b"".join(pack("<hh", round(30000 * math.sin(t)), round(9000 * math.sin(t - 0.3)))
                for t in (2 * math.pi * k / 220.5 for k in range(220)))
write("engine", "mains_calibrating.bin", pack("<ddB", 0.02, 0.5, 3 | 16) + sine)
write("engine", "mains_no_start.bin", pack("<ddB", 1.0, 1.0, 8 | 1) + sine)
