# WAVE files written to a pipe, which cannot go back to fill in the sizes: ffmpeg declares
# RIFF and data sizes of 0xFFFFFFFF, sox without a known input length 0x7FFFF000 for the
# data. They open over both RIFF layers; a data size that says more than the file holds
# gives "Couldn't create sound buffer." at Play, and a right one plays.

e2e_riff_sizes() {  # file -> "<riff size> <data size>" in hex
    python3 - "$1" <<'PY'
import struct, sys
b = open(sys.argv[1], "rb").read()
i, data = 12, None
while i + 8 <= len(b):
    cid, size = b[i:i + 4], struct.unpack("<I", b[i + 4:i + 8])[0]
    if cid == b"data":
        data = size
        break
    i += 8 + size + (size & 1)
print("%08x %s" % (struct.unpack("<I", b[4:8])[0], "%08x" % data if data is not None else "none"))
PY
}

_streamed_played() {
    e2e_dump_of "Velmorin - " 50 &&
        case $(e2e_text 1016) in Playing | "Sound playing." | "Sound stopped.") ;; *) false ;; esac
}

e2e_scenario_streamed_files() {
    local dir=$E2E_OUT/streamed
    rm -rf "$dir" && mkdir -p "$dir"
    python3 "$E2E_TOOLS/capture.py" tones "$dir/tones.wav"
    ffmpeg -nostdin -loglevel error -i "$dir/tones.wav" -f wav - | cat >"$dir/ffmpeg-s16.wav"
    ffmpeg -nostdin -loglevel error -i "$dir/tones.wav" -c:a pcm_f32le -f wav - | cat >"$dir/ffmpeg-f32.wav"
    ffmpeg -nostdin -loglevel error -i "$dir/tones.wav" -c:a pcm_u8 -ac 2 -f wav - | cat >"$dir/ffmpeg-u8-stereo.wav"
    sox "$dir/tones.wav" -t raw - | sox -t raw -r 8000 -e signed -b 16 -c 1 - -t wav - 2>/dev/null |
        cat >"$dir/sox-stream.wav"
    # A file as a streaming writer would leave it when only the data size was known.
    python3 -c 'import sys; b = bytearray(open(sys.argv[1], "rb").read()); b[4:8] = b"\xff" * 4; open(sys.argv[2], "wb").write(b)' \
        "$dir/tones.wav" "$dir/riff-unknown.wav"
    e2e_check "ffmpeg declares both sizes unknown" \
        e2e_equals "$(e2e_riff_sizes "$dir/ffmpeg-s16.wav")" "ffffffff ffffffff"
    e2e_check "sox declares a data size it cannot know" \
        e2e_equals "$(e2e_riff_sizes "$dir/sox-stream.wav" | cut -d' ' -f2)" 7ffff000
    e2e_check "the hand-made file has only the RIFF size unknown" \
        e2e_equals "$(e2e_riff_sizes "$dir/riff-unknown.wav")" "ffffffff 00003e80"

    local files=("$dir"/ffmpeg-*.wav "$dir/sox-stream.wav" "$dir/riff-unknown.wav") winfiles=() f
    for f in "${files[@]}"; do winfiles+=("$(e2e_winpath "$f")"); done
    "$VELMORIN_BUILD/native/tests/native/reader_outcomes" "${files[@]}" >"$dir/native.txt"
    timeout 60 wine "$E2E_WIN/tests/windows/reader_outcomes.exe" "${winfiles[@]}" 2>/dev/null |
        tr -d '\r' | sed -E 's|^Z:||; s|\\|/|g' >"$dir/mmio.txt"
    e2e_check "every streamed file opens over the own RIFF layer" \
        e2e_equals "$(grep -c ' open=ok' "$dir/native.txt")" "${#files[@]}"
    e2e_check "and over mmio, with the same format and data" \
        e2e_equals "$(cat "$dir/mmio.txt")" "$(cat "$dir/native.txt")"

    e2e_start_app
    e2e_check "dialog appears for streamed files" e2e_wait_window "Velmorin - " 15 || return
    e2e_check "an ffmpeg pipe file loads" e2e_load "$(e2e_winpath "$dir/ffmpeg-s16.wav")"
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    e2e_check "its unknown data size cannot fill a buffer" \
        e2e_status_becomes "Couldn't create sound buffer." 10
    e2e_check "a file with only the RIFF size unknown loads" \
        e2e_load "$(e2e_winpath "$dir/riff-unknown.wav")"
    e2e_focus '^Velmorin - '
    xdotool key alt+p
    # Wine's ALSA file capture runs faster than the clock: the second of sound can be over
    # before the status is read, and "Sound stopped." then says it played just as well.
    e2e_check "and plays" e2e_until 10 _streamed_played
    e2e_check "to its end" e2e_status_becomes "Sound stopped." 10
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_check "the program ends normally after the streamed files" e2e_exits_with 1 10

    # What it plays is the whole recording: the four tones, captured exactly.
    rm -f "$VELMORIN_BUILD/capture.wav"
    timeout 60 wine "$E2E_WIN/tests/windows/play_through.exe" "$(e2e_winpath "$dir/riff-unknown.wav")" \
        8000 0 0 >/dev/null 2>&1
    e2e_check "the four tones of the file come out" \
        e2e_equals "$(python3 "$E2E_TOOLS/capture.py" segments "$VELMORIN_BUILD/capture.wav" | wc -l)" 4
}

e2e_scenario_streamed_files
