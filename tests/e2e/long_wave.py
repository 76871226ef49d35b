#!/usr/bin/env python3
"""Long recordings for the end-to-end checks, and where in them a recording was taken.

  long_wave.py make OUT.wav BYTES START:LENGTH...
      writes a sparse 44100 Hz 16-bit stereo WAVE file of BYTES data bytes: silence that
      takes no disk space, except in the listed byte ranges, which hold a sawtooth of
      sweeps: every PERIOD bytes (one second) the tone rises from 200 to 3200 Hz, so the
      pitch tells the offset within the second (track_tone --bytes PERIOD --rate 176400)
  long_wave.py unwrap STRETCHES ANCHOR [--rate BYTES_PER_S] [--pauses]
      turns track_tone's stretches of such a recording (offsets within a second) into
      whole-file offsets: the first sound is taken to lie within half a second of ANCHOR,
      every later one within half a second of where the one before it ended plus the
      time in between at RATE (176400), or, with --pauses, of where it ended when silence
      came between (the sound was paused, not muted); stretches that continue each other
      are joined. Prints
      "sound <t0> <t1> <offset0> <offset1>" and "silence <t0> <t1>" lines.
"""
import array
import math
import struct
import sys

RATE = 44100
BLOCK = 4
PERIOD = RATE * BLOCK
F0, F1 = 200.0, 3200.0
JOIN_BYTES = 6000  # how far a stretch may stray from continuing the one before


def sawtooth(start, length):
    """16-bit stereo frames for bytes [start, start + length), both block aligned."""
    out = array.array("h")
    phase = 0.0
    for at in range(start, start + length, BLOCK):
        within = at % PERIOD
        if within == 0:
            phase = 0.0
        freq = F0 + (F1 - F0) * within / (PERIOD - 1)
        phase += 2 * math.pi * freq / RATE
        sample = int(16000 * math.sin(phase))
        out.append(sample)
        out.append(sample)
    if sys.byteorder != "little":
        out.byteswap()
    return out.tobytes()


def make(path, count, ranges):
    header = b"RIFF" + struct.pack("<I", (36 + count) & 0xFFFFFFFF) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 2, RATE, RATE * BLOCK, BLOCK, 16)
    header += b"data" + struct.pack("<I", count)
    with open(path, "wb") as out:
        out.write(header)
        out.truncate(len(header) + count)
        for text in ranges:
            start, length = (int(v) for v in text.split(":"))
            start -= start % BLOCK
            length = min(length - length % BLOCK, count - start)
            out.seek(len(header) + start)
            out.write(sawtooth(start, length))


def unwrap(path, anchor, rate, pauses):
    per_ms = rate / 1000.0
    lines = []
    predicted = anchor
    last = None  # (t1, offset1) of the sound before
    with open(path) as stretches:
        for line in stretches:
            parts = line.split()
            if not parts or parts[0] != "sound":
                if parts and parts[0] == "silence":
                    lines.append(["silence", float(parts[1]), float(parts[2])])
                continue
            t0, t1, o0, o1 = (float(v) for v in parts[1:5])
            if last is not None:
                held = pauses and lines and lines[-1][0] == "silence"
                predicted = last[1] + (0 if held else (t0 - last[0]) * per_ms)
            turns = round((predicted - o0) / PERIOD)
            a0 = turns * PERIOD + o0
            a1 = a0 + (o1 - o0)
            joins = (last is not None and lines and lines[-1][0] == "sound" and
                     t0 - last[0] < 60 and abs(a0 - predicted) <= JOIN_BYTES)
            if joins:
                lines[-1][2] = t1
                lines[-1][4] = a1
            else:
                lines.append(["sound", t0, t1, a0, a1])
            last = (t1, a1)
    for entry in lines:
        print(" ".join([entry[0]] + ["%.0f" % v for v in entry[1:]]))


def main(argv):
    if len(argv) >= 4 and argv[1] == "make":
        make(argv[2], int(argv[3]), argv[4:])
    elif len(argv) >= 4 and argv[1] == "unwrap":
        options = argv[4:]
        rate = float(options[options.index("--rate") + 1]) if "--rate" in options else PERIOD
        unwrap(argv[2], float(argv[3]), rate, "--pauses" in options)
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
