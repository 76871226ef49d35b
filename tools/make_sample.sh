#!/usr/bin/env bash
# Makes samples/velmorin-sample.wav, the short spoken file a newcomer can open first:
# espeak-ng speaks the text, sox turns it into 16-bit mono PCM at 8000 samples/s (about 300 KB).
# Needs espeak-ng and sox (apt-get install espeak-ng sox).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
espeak-ng -v en-us -s 150 -w "$tmp/speech.wav" \
    "Welcome to Velmorin. This is a short recording to try the player with. \
Press Play, then Pause, and listen how the playback steps back a little when you resume. \
Alt J pauses and resumes from any program, Alt K skips forward and Alt H skips back."
sox -D "$tmp/speech.wav" -r 8000 -c 1 -b 16 -e signed-integer "$root/samples/velmorin-sample.wav"
ls -l "$root/samples/velmorin-sample.wav"
