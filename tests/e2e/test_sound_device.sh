# Start-up without any sound device: DirectSoundCreate fails for real.

e2e_scenario_no_sound_device() {
    e2e_start_app "$VELMORIN_BUILD/home-silent"
    e2e_check "start-up error box appears" e2e_wait_window "DirectSound Sample" 15 || return
    e2e_dump_of "DirectSound Sample" 3
    e2e_shot no-sound-device >/dev/null
    e2e_check "box text" grep -qF "text=Error initializing DirectSound.  Sample will now exit." <<<"$e2e_dump"
    # Wine's message box shows its icon in a static control of its own.
    e2e_check "box has the error icon" grep -q "^control id=1088 class=Static .* icon=1 " <<<"$e2e_dump"
    e2e_check "main dialog never shows" test -z "$(e2e_inspect 'Velmorin')"
    e2e_focus '^DirectSound Sample$'
    xdotool key Return
    e2e_check "dismissing it ends the process with status 1" e2e_exits_with 1 10
}

e2e_scenario_no_sound_device
