#!/usr/bin/env python3
"""Writes a WAVE file whose data chunk holds N bytes of silence without using the disk
for them (a sparse file): 8-bit mono at 8000 samples per second.

  make_sparse_wave.py OUT.wav N
"""
import struct
import sys

path, count = sys.argv[1], int(sys.argv[2])
header = b"RIFF" + struct.pack("<I", 36 + count) + b"WAVE"
header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, 8000, 8000, 1, 8)
header += b"data" + struct.pack("<I", count)
with open(path, "wb") as out:
    out.write(header)
    out.truncate(len(header) + count)
