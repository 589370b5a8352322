#!/usr/bin/env bash
# The program at rest: its resident memory and its CPU use while it patrols a desktop of
# 100 client windows with 1,000 keywords, none of which matches, for 30 seconds.
#
#   bench/app/at_rest.sh [path/to/sentinel]    (default: build-release/bin/sentinel)
#
# It runs on a private virtual desktop (Xvfb with openbox) and a copy of the executable in
# a temporary folder, with private settings; nothing of the user's is read or written.
# SENTINEL_AT_REST_SECONDS, _KEYWORDS and _WINDOWS change the measurement.
# Exit status: 0 within both goals, 1 over a goal, 2 when the measurement failed.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BIN=${1:-$ROOT/build-release/bin/sentinel}
SECONDS_AT_REST=${SENTINEL_AT_REST_SECONDS:-30}
KEYWORDS=${SENTINEL_AT_REST_KEYWORDS:-1000}
WINDOWS=${SENTINEL_AT_REST_WINDOWS:-100}
GOAL_MB=60
GOAL_CPU=0.5

fail() {
    printf 'at_rest: %s\n' "$*" >&2
    exit 2
}

[ -x "$BIN" ] || fail "no executable at $BIN (build it first: cmake --build --preset release)"

WORK=$(mktemp -d /tmp/sentinel-at-rest.XXXXXX)
PIDS=()
cleanup() {
    local p
    for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    local tenths=$1 i
    shift
    for ((i = 0; i < tenths; i++)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

mkdir -p "$WORK/app" "$WORK/config" "$WORK/etc-xdg" "$WORK/runtime"
chmod 700 "$WORK/runtime"
cp "$BIN" "$WORK/app/sentinel"
export XDG_CONFIG_HOME="$WORK/config" XDG_CONFIG_DIRS="$WORK/etc-xdg" XDG_RUNTIME_DIR="$WORK/runtime"
export QT_QPA_PLATFORM=xcb

# The keyword list: its header, then Chinese and Latin keywords by turns, CR LF, in code
# page 936. None occurs in a window title below.
{
    printf '[墨枫哨兵1.00]\r\n'
    for ((i = 0; i < KEYWORDS; i++)); do
        if ((i % 2)); then printf '禁止网站%04d\r\n' "$i"; else printf 'blocked-site-%04d\r\n' "$i"; fi
    done
} | iconv -f UTF-8 -t GBK >"$WORK/app/KeyList.dat"

# A private desktop.
mkfifo "$WORK/display"
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
PIDS+=($!)
read -r -t 20 number <"$WORK/display" || fail "the virtual display (Xvfb) did not start"
export DISPLAY=":$number"
openbox --sm-disable >/dev/null 2>&1 &
PIDS+=($!)
wait_for 200 sh -c 'xprop -root _OB_THEME | grep -q "="' || fail "openbox did not start"

clients() {
    xprop -root _NET_CLIENT_LIST 2>/dev/null | tr ',' '\n' | grep -c 0x || true
}

# The client windows: message windows of another program, with titles of everyday work.
for ((i = 0; i < WINDOWS; i++)); do
    xmessage -geometry "+$((i % 10 * 150))+$((i / 10 * 110))" -title "Document $i - Editor" \
        "window $i" >/dev/null 2>&1 &
    PIDS+=($!)
done
wait_for 600 sh -c "[ \$(xprop -root _NET_CLIENT_LIST | tr ',' '\n' | grep -c 0x) -ge $WINDOWS ]" ||
    fail "only $(clients) of $WINDOWS client windows came up"

# Hidden and patrolling, as after a start at logon.
"$WORK/app/sentinel" /auto >"$WORK/sentinel.log" 2>&1 &
APP=$!
PIDS+=("$APP")
wait_for 300 grep -q hwnd "$WORK/config/sentinel/settings.ini" || fail "sentinel did not come up"
# Past the start: the list loaded and the first passes run.
sleep 2
kill -0 "$APP" 2>/dev/null || fail "sentinel ended: $(cat "$WORK/sentinel.log")"

ticks() {
    # utime and stime: fields 14 and 15, counted after the parenthesised command name.
    local stat
    stat=$(cat "/proc/$APP/stat")
    stat=${stat##*) }
    set -- $stat
    echo $((${12} + ${13}))
}
HZ=$(getconf CLK_TCK)
t0=$(date +%s%N)
c0=$(ticks)
sleep "$SECONDS_AT_REST"
c1=$(ticks)
t1=$(date +%s%N)
kill -0 "$APP" 2>/dev/null || fail "sentinel ended during the measurement"
rss_kb=$(awk '/^VmRSS:/ {print $2}' "/proc/$APP/status")
hwm_kb=$(awk '/^VmHWM:/ {print $2}' "/proc/$APP/status")
left=$(clients)

read -r rss_mb hwm_mb cpu_s wall_s cpu_pct < <(awk -v r="$rss_kb" -v h="$hwm_kb" -v c="$((c1 - c0))" \
    -v hz="$HZ" -v w="$((t1 - t0))" \
    'BEGIN { s = c / hz; t = w / 1e9; printf "%.1f %.1f %.2f %.1f %.3f\n", r / 1024, h / 1024, s, t, 100 * s / t }')
mem_ok=$(awk -v v="$rss_mb" -v g="$GOAL_MB" 'BEGIN { print (v < g) ? "within" : "OVER" }')
cpu_ok=$(awk -v v="$cpu_pct" -v g="$GOAL_CPU" 'BEGIN { print (v < g) ? "within" : "OVER" }')

printf 'sentinel at rest: %d keywords, %d client windows, %s s of patrolling\n' \
    "$KEYWORDS" "$WINDOWS" "$wall_s"
printf '  resident memory: %s MB (peak %s MB)    goal under %s MB: %s\n' \
    "$rss_mb" "$hwm_mb" "$GOAL_MB" "$mem_ok"
printf '  CPU:             %s %% of one core (%s s)    goal under %s %%: %s\n' \
    "$cpu_pct" "$cpu_s" "$GOAL_CPU" "$cpu_ok"
[ "$left" -ge "$WINDOWS" ] || fail "the patrol closed client windows it should have left: $left of $WINDOWS left"
[ "$mem_ok" = within ] && [ "$cpu_ok" = within ]
