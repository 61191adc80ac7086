#!/usr/bin/env bash
# A write run in a real terminal (tmux): the prompt must be on the screen
# before anything is typed, and YES typed there must complete the run.
# Usage: terminal_prompt_test.sh SJ SIMRADIO PORTS_DIR
set -u
sj=$1 simradio=$2 ports=$3
link=$ports/ttySIM5 log=$ports/ttySIM5.terminal.log
session=sj-prompt-$$
fail() { echo "FAIL: $*"; tmux kill-session -t "$session" 2>/dev/null; kill "$sim" 2>/dev/null; exit 1; }
screen() { tmux capture-pane -p -t "$session"; }
wait_for() {  # wait_for TEXT: up to 5 s for TEXT to appear on the screen
    for _ in $(seq 50); do screen | grep -qF -- "$1" && return 0; sleep 0.1; done
    return 1
}

"$simradio" --log "$log" "$link" & sim=$!
for _ in $(seq 50); do [ -L "$link" ] && break; sleep 0.1; done
tmux new-session -d -s "$session" -x 100 -y 50 "$sj -6 F8 BF; echo \"status=\$?\"; sleep 30"
wait_for "Please answer YES to continue >" || fail "no prompt on the screen: $(screen)"
screen | grep -q "Sending CAT command" && fail "went on before YES was typed"
tmux send-keys -t "$session" "YES" Enter
wait_for "status=0" || fail "run did not complete: $(screen)"
screen | grep -qF "Read current data from EEPROM gives : F8 BF" || fail "no read-back: $(screen)"
tmux kill-session -t "$session"
kill "$sim"; wait "$sim"
grep -q "^eeprom 0004: F8 BF" "$log" || fail "EEPROM not written: $(cat "$log")"
[ "$(grep -c '^rx' "$log")" = 3 ] || fail "expected three frames: $(cat "$log")"
echo "1 passed, 0 failed"
