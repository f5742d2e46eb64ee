#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Every seed is generated here, so the corpora hold nothing of unknown origin. Run it again after
changing a seed; the files it writes are committed.
"""

import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
RATE = 11025
BLOCK = 4096


def corpus(target):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    return folder


def write(target, name, data):
    with open(os.path.join(corpus(target), name), "wb") as f:
        f.write(data)


def wav(channels, rate, fmt_tag, bits, frames_bytes):
    """A RIFF WAVE file: fmt chunk and data chunk."""
    block_align = channels * bits // 8
    fmt = struct.pack("<HHIIHH", fmt_tag, channels, rate, rate * block_align, block_align, bits)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(frames_bytes)) + frames_bytes
    return b"RIFF" + struct.pack("<I", len(body)) + body


def mains(frames, volts_peak, amps_peak, phase):
    """The adaptor's two channels as fractions of full scale: 50 Hz voltage and current."""
    for k in range(frames):
        t = 2 * math.pi * 50.0 * k / RATE
        yield volts_peak * math.sin(t), amps_peak * math.sin(t - phase)


def pcm16(frames, volts_peak, amps_peak, phase):
    out = bytearray()
    for v, a in mains(frames, volts_peak, amps_peak, phase):
        out += struct.pack("<hh", round(v * 32767), round(a * 32767))
    return bytes(out)


def recording_seeds():
    # One block of 16-bit PCM, the format the capture records.
    write("recording", "pcm16_one_block.wav", wav(2, RATE, 1, 16, pcm16(BLOCK, 0.5, 0.3, 0.5)))
    # 8-bit unsigned PCM, converted to 16 bits by the reader.
    pcm8 = bytearray()
    for v, a in mains(BLOCK, 0.9, 0.2, 1.0):
        pcm8 += bytes((128 + round(v * 127), 128 + round(a * 127)))
    write("recording", "pcm8_one_block.wav", wav(2, RATE, 1, 8, bytes(pcm8)))
    # 32-bit float beyond full scale: clipped, not wrapped.
    flt = bytearray()
    for v, a in mains(BLOCK, 1.5, 0.1, 0.0):
        flt += struct.pack("<ff", v, a)
    write("recording", "float_overrange.wav", wav(2, RATE, 3, 32, bytes(flt)))
    # Refused recordings: too short, one channel, another rate.
    write("recording", "too_short.wav", wav(2, RATE, 1, 16, pcm16(100, 0.5, 0.3, 0.0)))
    write("recording", "mono.wav", wav(1, RATE, 1, 16, pcm16(BLOCK // 2, 0.5, 0.5, 0.0)))
    write("recording", "rate_8000.wav", wav(2, 8000, 1, 16, pcm16(BLOCK, 0.5, 0.3, 0.0)))


def settings_seeds():
    write("settings", "first_run.ini", b"0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n1\r\n1\r\n")
    write("settings", "calibrated.ini",
          b"1\r\n3\r\n1\r\n1\r\n1\r\n1024\r\n1\r\n256\r\n2.4913657406573E-02\r\n-0.0125\r\n")
    write("settings", "short_and_commas.ini", b"  7, -1\n0\r5000")
    write("settings", "damaged.ini",
          b"x\r\n99999\r\n+1\r\n\r\n1e3\r\n-2147483648\r\n2147483648\r\n32\r\nnan\r\n1E-320\r\n")


def reference_seeds():
    for name, text in [("plain", "120"), ("unit", "120 V"), ("blanks", " 1 2\t0\n.5"),
                       ("exponent", "-1.25E+3"), ("letters", "abc"), ("point", ".5"),
                       ("huge", "9" * 400), ("tiny", "1e-400"), ("comma", "1,5")]:
        write("reference", name + ".txt", text.encode())


def engine_seeds():
    def header(volts_cal, amps_cal, run):
        return struct.pack("<ddB", volts_cal, amps_cal, run)

    sine = bytearray()
    for k in range(220):  # one 50 Hz cycle is 220.5 frames
        t = 2 * math.pi * k / 220.5
        sine += struct.pack("<hh", round(30000 * math.sin(t)), round(9000 * math.sin(t - 0.3)))
    write("engine", "mains_four_buffers.bin", header(1.0, 1.0, 3) + bytes(sine))
    write("engine", "rails_tiny_divisors.bin",
          header(1e-300, 5e-324, 1) + struct.pack("<hhhh", 32767, -32768, -32768, 32767))
    write("engine", "every_frame_negative.bin",
          header(-2.5, 1e300, 4 | 2) + struct.pack("<hh", 32767, 32767))
    write("engine", "silence_no_start.bin", header(0.02, 0.5, 8 | 1))


if __name__ == "__main__":
    recording_seeds()
    settings_seeds()
    reference_seeds()
    engine_seeds()
