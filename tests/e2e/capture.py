#!/usr/bin/env python3
"""Reads what the sound device recorded, for the end-to-end checks.

  capture.py tones OUT.wav              writes the test signal: 16-bit mono, 8000/s,
                                        500, 1000, 1500, 2000 Hz for 250 ms each
  capture.py segments REC.wav           prints one line per steady tone in a recording:
                                        "<start ms> <end ms> <Hz>"
  capture.py levels REC.wav             prints "<left rms> <right rms>" of the sound
  capture.py band OUT.wav               writes 16-bit stereo at 44100/s: 1 kHz, then
                                        15 kHz, at one level, 500 ms each
  capture.py bandlevel REC.wav          prints the level of the second half of the
                                        sound against the first, in dB
  capture.py gap REC.wav                prints the longest silence inside the sound, in ms
"""
import math
import struct
import sys
import wave

TONES = (500, 1000, 1500, 2000)
WINDOW_MS = 10


def write_wave(path, channels, rate, frames):
    with wave.open(path, "wb") as out:
        out.setnchannels(channels)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(bytes(frames))


def write_tones(path):
    rate = 8000
    frames = bytearray()
    phase = 0.0
    for hz in TONES:
        for _ in range(rate // 4):
            frames += struct.pack("<h", int(12000 * math.sin(phase)))
            phase += 2 * math.pi * hz / rate
    write_wave(path, 1, rate, frames)


def read(path):
    with wave.open(path, "rb") as rec:
        channels, width, rate = rec.getnchannels(), rec.getsampwidth(), rec.getframerate()
        raw = rec.readframes(rec.getnframes())
    if width != 2:
        raise SystemExit("expected 16-bit samples")
    samples = struct.unpack("<%dh" % (len(raw) // 2), raw)
    return rate, [samples[c::channels] for c in range(channels)]


def windows(rate, channel):
    size = rate * WINDOW_MS // 1000
    for start in range(0, len(channel) - size + 1, size):
        yield start * 1000 // rate, channel[start:start + size]


def rms(values):
    return math.sqrt(sum(v * v for v in values) / len(values)) if values else 0.0


def frequency(rate, values):
    """Zero crossings with linear interpolation between the first and the last."""
    crossings = []
    for i in range(1, len(values)):
        a, b = values[i - 1], values[i]
        if a < 0 <= b:
            crossings.append(i - 1 + (-a) / (b - a))
    if len(crossings) < 2:
        return 0.0
    return (len(crossings) - 1) * rate / (crossings[-1] - crossings[0])


def segments(path):
    rate, channels = read(path)
    mono = [max(abs(l), abs(r)) and (l + r) // 2 for l, r in zip(channels[0], channels[-1])]
    out = []
    for ms, values in windows(rate, mono):
        if rms(values) < 300:
            continue
        hz = frequency(rate, values)
        if out and out[-1][1] == ms and abs(out[-1][2] - hz) < 0.04 * hz:
            out[-1][1] = ms + WINDOW_MS
            out[-1][3].append(hz)
        else:
            out.append([ms, ms + WINDOW_MS, hz, [hz]])
    # Windows that straddle a change of tone make one-window segments: drop them.
    steady = [s for s in out if s[1] - s[0] > WINDOW_MS]
    for start, end, _, values in steady:
        values = sorted(values)
        print(start, end, round(values[len(values) // 2]))


def write_band(path):
    rate = 44100
    frames = bytearray()
    for hz in (1000, 15000):
        for i in range(rate // 2):
            v = int(12000 * math.sin(2 * math.pi * hz * i / rate))
            frames += struct.pack("<hh", v, v)
    write_wave(path, 2, rate, frames)


def band_level(path):
    rate, channels = read(path)
    loud = [ms for ms, values in windows(rate, channels[0]) if rms(values) > 300]
    if len(loud) < 20:
        print("nan")
        return
    # The middle 60 % of each half, away from the onset, the change and the end.
    first, last = loud[0], loud[-1] + WINDOW_MS
    half = (last - first) / 2

    def level(a, b):
        size = rate * WINDOW_MS // 1000
        values = channels[0][int(a * rate / 1000):int(b * rate / 1000)]
        return rms(values[size:])

    low = level(first + 0.2 * half, first + 0.8 * half)
    high = level(first + 1.2 * half, first + 1.8 * half)
    print("%.2f" % (20 * math.log10(high / low)) if low > 0 and high > 0 else "-inf")


def levels(path):
    rate, channels = read(path)
    loud = [i for i, (l, r) in enumerate(zip(channels[0], channels[-1])) if abs(l) + abs(r) > 200]
    if not loud:
        print(0, 0)
        return
    left = channels[0][loud[0]:loud[-1]]
    right = channels[-1][loud[0]:loud[-1]]
    print(round(rms(left), 1), round(rms(right), 1))


def longest_gap(path):
    rate, channels = read(path)
    left = channels[0]
    loud = [i for i, (l, r) in enumerate(zip(left, channels[-1])) if abs(l) + abs(r) > 200]
    if not loud:
        print("0.0")
        return
    # Inside the sound: its level in the 10 ms on both sides (a filter's ringing after the
    # last frame dips through zero too, but is not the sound going on).
    level = rms(left[loud[0]:loud[-1]]) / 2
    size = rate // 100
    longest = max((b - a - 1 for a, b in zip(loud, loud[1:])
                   if rms(left[max(0, a - size):a]) > level and rms(left[b:b + size]) > level),
                  default=0)
    print("%.1f" % (longest * 1000 / rate))


if __name__ == "__main__":
    command, path = sys.argv[1], sys.argv[2]
    {"tones": write_tones, "segments": segments, "levels": levels, "band": write_band,
     "bandlevel": band_level, "gap": longest_gap}[command](path)
