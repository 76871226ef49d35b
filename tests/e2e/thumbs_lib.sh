# Where the sliders' thumbs are drawn: from a screenshot, each trackbar's thumb is found
# above its channel (there only the thumb differs from the background) and its centre
# compared with the centre its position and range give within the channel.
# Needs lib.sh; the geometry comes from the inspector's channel/thumb/origin fields.
# Callers poll it with e2e_until: a slider is repainted only once its queue is empty.

e2e_thumb_drawn_centre() {  # png id -> the x centre of the thumb, in the slider's client space
    local cl ct cr cb tl tt tr tb ox oy
    IFS=, read -r cl ct cr cb <<<"$(e2e_field "$2" channel)"
    IFS=, read -r tl tt tr tb <<<"$(e2e_field "$2" thumb)"
    IFS=, read -r ox oy <<<"$(e2e_field "$2" origin)"
    # Rows over the channel and under the thumb's top (the ticks are higher up); the
    # background is the colour most of their pixels have.
    convert "$1" -crop "$((cr - cl))x$((ct - tt - 3))+$((ox + cl))+$((oy + tt + 2))" +repage txt:- |
        awk -v left="$cl" -F'[ ,:]+' 'NR > 1 { colour[NR] = $NF; x[NR] = $1; n[$NF]++ }
            END {
                for (c in n) if (n[c] > most) { most = n[c]; bg = c }
                lo = -1
                for (i in x) if (colour[i] != bg) {
                    if (lo < 0 || x[i] < lo) lo = x[i]
                    if (x[i] > hi) hi = x[i]
                }
                if (lo >= 0) printf "%.1f\n", left + (lo + hi + 1) / 2
            }'
}

e2e_thumb_due_centre() {  # id -> the x centre its position and range give
    local cl cr tl tr
    IFS=, read -r cl _ cr _ <<<"$(e2e_field "$1" channel)"
    IFS=, read -r tl _ tr _ <<<"$(e2e_field "$1" thumb)"
    awk -v p="$(e2e_field "$1" pos)" -v a="$(e2e_field "$1" min)" -v b="$(e2e_field "$1" max)" \
        -v cl="$cl" -v cr="$cr" -v w=$((tr - tl)) \
        'BEGIN { printf "%.1f\n", cl + w / 2 + (b > a ? (p - a) / (b - a) : 0) * (cr - cl - w) }'
}

# Takes a screenshot between two reads of the dialog, so a thumb that moves meanwhile
# (the position while playing) may be drawn anywhere between its two due places. Every
# thumb's offset goes to e2e/thumbs-<name>.txt, those more than 2 px off to stderr too.
e2e_thumbs_placed() {  # shot name: succeeds when all seven thumbs are within 2 px
    local before after png id drawn due1 due2 line bad=0
    e2e_dump_of "Velmorin - " 50 || return 1
    before=$e2e_dump
    png=$(e2e_shot "$1")
    e2e_dump_of "Velmorin - " 50 || return 1
    after=$e2e_dump
    : >"$E2E_OUT/thumbs-$1.txt"
    for id in 1003 1004 1005 1006 1025 1026 1027; do
        drawn=$(e2e_thumb_drawn_centre "$png" $id)
        due2=$(e2e_thumb_due_centre $id)
        e2e_dump=$before
        due1=$(e2e_thumb_due_centre $id)
        e2e_dump=$after
        line=$(awk -v d="${drawn:-none}" -v a="$due1" -v b="$due2" -v id=$id 'BEGIN {
            lo = a < b ? a : b; hi = a < b ? b : a
            if (d == "none") { print "thumb " id ": not found, due at " lo ".." hi; exit 1 }
            off = d < lo ? d - lo : (d > hi ? d - hi : 0)
            printf "thumb %s: drawn at x %s, due at %s..%s, off by %+.1f px\n", id, d, lo, hi, off
            exit (off < -2 || off > 2) }') || { bad=1; echo "  $line" >&2; }
        echo "$line" >>"$E2E_OUT/thumbs-$1.txt"
    done
    return $bad
}
