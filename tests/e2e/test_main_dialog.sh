# The main dialog as a user first sees it, and the ways it ends.

. "$E2E_TOOLS/thumbs_lib.sh"

e2e_first_state() {
    e2e_check "dialog appears" e2e_wait_window "Velmorin - " 15 || return
    e2e_dump_of "Velmorin - " 50
    echo "$e2e_dump" >"$E2E_OUT/first-state.txt"
    e2e_check "title says no file" grep -q "title=Velmorin - No file loaded.$" <<<"$e2e_dump"
    e2e_check "status says no file" e2e_equals "$(e2e_text 1016)" "No file loaded."
    e2e_check "fifty controls" e2e_equals "$(grep -c '^control ' <<<"$e2e_dump")" 50
    local id
    local ok=0
    for id in 1007 1000 1008 1002 1001; do
        [ "$(e2e_field $id enabled)" = 0 ] || ok=1
    done
    e2e_check "transport buttons disabled" test $ok = 0
    e2e_check "loop enabled, unchecked" e2e_equals "$(e2e_field 1009 enabled)/$(e2e_field 1009 check)" 1/0
    e2e_check "autopause enabled, unchecked" e2e_equals "$(e2e_field 1010 enabled)/$(e2e_field 1010 check)" 1/0
    local spec slider
    ok=0
    for spec in 1003:100:100000:100 1004:-20:20:0 1005:-100:0:0 1006:0:100:0 1025:1:240:7 \
        1026:0:240:10 1027:0:40:3; do
        IFS=: read -r id min max pos <<<"$spec"
        slider="$(e2e_field $id min):$(e2e_field $id max):$(e2e_field $id pos)"
        [ "$slider" = "$min:$max:$pos" ] || { echo "  slider $id: $slider" >&2; ok=1; }
    done
    e2e_check "slider ranges and thumbs" test $ok = 0
    ok=0
    for spec in 1019:0 1020:0 1021:1 1022:1 1023:0 1024:0; do
        IFS=: read -r id check <<<"$spec"
        [ "$(e2e_field $id check)/$(e2e_field $id visible)" = "$check/0" ] || ok=1
    done
    e2e_check "hidden radios: Global and Default checked" test $ok = 0
}

e2e_scenario_esc() {
    e2e_start_app
    e2e_first_state
    e2e_check "thumbs drawn where their positions put them" e2e_until 5 e2e_thumbs_placed first-state
    e2e_focus '^Velmorin - '
    xdotool key Escape
    e2e_check "Esc ends the process with status 1" e2e_exits_with 1 10
}

e2e_scenario_close_box() {
    e2e_start_app
    e2e_check "dialog appears again" e2e_wait_window "Velmorin - " 15 || return
    e2e_click_close_box '^Velmorin - ' 
    e2e_check "close box ends the process with status 1" e2e_exits_with 1 10
}

e2e_scenario_esc
e2e_scenario_close_box
