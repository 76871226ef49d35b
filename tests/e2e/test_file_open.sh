# File > Open... for real: the open-file dialog, a good file, a cancel, a bad file.

. "$E2E_TOOLS/thumbs_lib.sh"

e2e_scenario_file_open() {
    python3 "$E2E_TOOLS/capture.py" tones "$E2E_OUT/open-me.wav"
    printf 'RIFF\004\000\000\000WAVE' >"$E2E_OUT/broken.wav"
    # The program does not check that the folder exists; the dialog only starts in one
    # that does.
    mkdir -p "$WINEPREFIX/drive_c/windows/My Documents"
    e2e_start_app
    e2e_check "dialog appears for file opening" e2e_wait_window "Velmorin - " 15 || return

    e2e_check "File > Open... shows the open-file dialog" e2e_open_file_dialog || return
    sleep 1
    e2e_shot open-dialog >/dev/null
    e2e_dump_of "Open Sound File" 5
    echo "$e2e_dump" >"$E2E_OUT/open-dialog.txt"
    # Wine's dialog shows its current folder in the "Look in" box.
    e2e_check "it starts in My Documents under the Windows directory" \
        grep -q "text=My Documents$" <<<"$e2e_dump"
    e2e_check "the first filter, Wave Files, is selected" grep -q "^control id=1136 class=ComboBox .* text=Wave Files$" <<<"$e2e_dump"
    e2e_check "the read-only box is hidden" grep -q "^control id=1040 class=Button .* visible=0 .*read-only" <<<"$e2e_dump"
    xdotool key Escape
    e2e_check "cancel says Load aborted." e2e_status_becomes "Load aborted." 10
    e2e_check "cancel leaves Play and Stop disabled" \
        e2e_equals "$(e2e_field 1000 enabled)$(e2e_field 1001 enabled)" 00

    local good
    good=$(e2e_winpath "$E2E_OUT/open-me.wav")
    e2e_open_file_dialog && e2e_type_path "$good"
    sleep 0.5
    e2e_dump_of "Velmorin - [" 50
    e2e_check "thumbs drawn where their positions put them after the load" e2e_until 5 e2e_thumbs_placed file-loaded
    e2e_check "title names the file" grep -qxF "window $(sed -n 's/^window \([^ ]*\).*/\1/p' <<<"$e2e_dump") title=Velmorin - [$good]" <<<"$e2e_dump"
    e2e_check "status says File loaded." e2e_equals "$(e2e_text 1016)" "File loaded."
    e2e_check "Play enabled, Stop disabled" \
        e2e_equals "$(e2e_field 1000 enabled)$(e2e_field 1001 enabled)" 10
    e2e_check "frequency thumb at the file's rate" e2e_equals "$(e2e_field 1003 pos)" 8000
    e2e_check "frequency text follows" e2e_equals "$(e2e_text 1012)" 8000

    e2e_open_file_dialog && e2e_type_path "$(e2e_winpath "$E2E_OUT/broken.wav")"
    sleep 0.5
    e2e_dump_of "Velmorin - " 50
    e2e_check "a malformed file says Bad wave file." e2e_equals "$(e2e_text 1016)" "Bad wave file."
    e2e_check "and the title says no file" grep -q "title=Velmorin - No file loaded.$" <<<"$e2e_dump"

    # The sample the README's run command offers to a newcomer.
    e2e_open_file_dialog && e2e_type_path "$(e2e_winpath "$(cd "$E2E_TOOLS/../.." && pwd)/samples/velmorin-sample.wav")"
    sleep 0.5
    e2e_dump_of "Velmorin - " 50
    e2e_check "the shipped sample loads" e2e_equals "$(e2e_text 1016)/$(e2e_field 1003 pos)" "File loaded./8000"

    e2e_open_menu f
    xdotool key x
    e2e_check "File > Exit ends the process with status 1" e2e_exits_with 1 10
}

e2e_scenario_file_open

# Help > About... with the mouse (Alt+H belongs to the skip-back hotkey).
e2e_open_about() {
    e2e_click_help
    xdotool key Down Return  # the menu's only item
    e2e_wait_window "About Velmorin" 10
}

e2e_scenario_about() {
    e2e_start_app
    e2e_check "dialog appears for the About box" e2e_wait_window "Velmorin - " 15 || return
    local way
    for way in ok esc close; do
        e2e_check "Help > About... opens the About box ($way)" e2e_open_about || continue
        sleep 0.5
        e2e_dump_of "About Velmorin" 4
        [ $way = ok ] && e2e_shot about-box >/dev/null
        e2e_check "About box text" grep -qF "text=A nifty program for playing back wav files so you can transcribe them." <<<"$e2e_dump"
        case $way in
        ok) xdotool key Return ;;
        esc) xdotool key Escape ;;
        close) e2e_click_close_box '^About Velmorin$' ;;
        esac
        e2e_check "About box closes ($way)" e2e_window_gone 'About Velmorin' 10
    done
    e2e_dump_of "Velmorin - " 50
    e2e_check "main dialog unchanged after the About box" e2e_equals "$(e2e_text 1016)" "No file loaded."
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_check "Esc still ends the program" e2e_exits_with 1 10
}

e2e_scenario_about
