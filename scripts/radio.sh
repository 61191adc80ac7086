# Sourced by scripts/demo and scripts/bench: the simulated radio of the
# release tree, started in the background and stopped when the script ends.
# start_radio LINK LOG [OPTIONS...] returns once LINK is there; stop_radio
# ends it early (its log is complete then).
start_radio() {
    local link=$1 log=$2
    shift 2
    build/release/sim/simradio --log "$log" "$@" "$link" &
    radio=$!
    trap stop_radio EXIT
    for _ in $(seq 100); do
        [ -L "$link" ] && return 0
        kill -0 "$radio" 2>/dev/null || break
        sleep 0.1
    done
    echo "the simulated radio did not come up at $link" >&2
    return 1
}

stop_radio() {
    kill "$radio" 2>/dev/null || true
    wait "$radio" 2>/dev/null || true
    trap - EXIT
}
