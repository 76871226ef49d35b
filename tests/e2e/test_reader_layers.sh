# The WAVE reader over the program's own RIFF layer and over Wine's real mmio functions,
# file by file: the seed files of the fuzzer (one per kind of WAVE file) and the inputs
# the fuzzer kept, which are malformed in every way it found. Any difference is listed.

e2e_scenario_reader_layers() {
    local corpus=$VELMORIN_BUILD/fuzz
    local files=()
    local f
    # At most 250 files: one Windows command line holds 32767 characters.
    for f in "$corpus"/seeds/* "$corpus"/corpus/*; do
        [ -f "$f" ] && [ "${#files[@]}" -lt 250 ] && files+=("$f")
    done
    e2e_check "fuzzer files to compare" test "${#files[@]}" -gt 0 || return
    "$VELMORIN_BUILD/native/tests/native/reader_outcomes" "${files[@]}" >"$E2E_OUT/reader-native.txt"
    local winfiles=()
    for f in "${files[@]}"; do winfiles+=("$(e2e_winpath "$f")"); done
    # Wine prints the Windows paths back; map them to the Linux ones to compare.
    timeout 300 wine "$E2E_WIN/tests/windows/reader_outcomes.exe" "${winfiles[@]}" 2>/dev/null |
        tr -d '\r' | sed -E 's|^Z:([^ ]*)|\1|; s|^([^ ]*)|\1|' |
        awk '{ gsub(/\\/, "/", $1); print }' >"$E2E_OUT/reader-mmio.txt"
    # One difference is understood: where a chunk's end lies beyond 32-bit offsets, mmio
    # wraps the position it ascends to, while the program's own layer refuses it. Both
    # fail the open ("Bad wave file."); only whether the failed reader kept its format
    # record differs, and a failed reader reports no rate and no data either way.
    local differ understood
    differ=$(paste -d '\n' "$E2E_OUT/reader-native.txt" "$E2E_OUT/reader-mmio.txt" | awk '
        NR % 2 == 1 { native = $0; next }
        native != $0 {
            split(native, n, " "); split($0, m, " ")
            if (n[2] == "open=fail" && m[2] == "open=fail") { print "understood " n[1] >"/dev/stderr"; next }
            print "native: " native; print "mmio:   " $0 }')
    [ -n "$differ" ] && echo "$differ" | head -20 >&2
    e2e_check "the own RIFF layer and mmio agree on ${#files[@]} files" test -z "$differ"
    e2e_check "both layers judged the same number of files" \
        e2e_equals "$(wc -l <"$E2E_OUT/reader-mmio.txt")" "${#files[@]}"
}

e2e_scenario_reader_layers
