#!/bin/sh
# CPU the whole front panel costs while receiving: orvexsdr powered on with the simulated
# receiver, in display size "Ext", under Xvfb, measured from /proc/PID/stat (utime + stime)
# over a stretch of wall time and printed as per cent of one core.
#
#   bench/window_cpu.sh BUILD_DIR [--spectrum on|off] [--seconds N] [--warmup N]
#
# With the spectrum on (the default) the display draws one frame per block (about 23 a second)
# with the waterfall under it, in log scale. A fresh HOME with its own settings is made for the
# run: playback goes to ALSA's "null" device, so nothing is heard and no sound card is needed.
# Needs xvfb-run.
set -eu

usage() {
    echo "usage: $0 BUILD_DIR [--spectrum on|off] [--seconds N] [--warmup N]" >&2
    exit 2
}
[ $# -ge 1 ] || usage
build=$(cd "$1" && pwd)
shift
spectrum=on
seconds=30
warmup=6
while [ $# -gt 0 ]; do
    case "$1" in
    --spectrum) spectrum=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --warmup) warmup=$2; shift 2 ;;
    *) usage ;;
    esac
done
case "$spectrum" in on) on=1 ;; off) on=0 ;; *) usage ;; esac
program="$build/ui/orvexsdr"
cli="$build/cli/orvexsdr-cli"
[ -x "$program" ] && [ -x "$cli" ] || { echo "no orvexsdr or orvexsdr-cli in $build" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "xvfb-run is needed" >&2; exit 1; }

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.config/OrvexSDR" "$home/.state"

# The number of ALSA's "null" device in the playback list (the window lists the same devices).
null=$(HOME="$home" "$cli" listen --list-devices 2>/dev/null |
    awk '/^playback devices:/ { p = 1; next } p && $2 == "null" { print $1; exit }')
[ -n "$null" ] || { echo "ALSA's null playback device is not listed" >&2; exit 1; }

cat >"$home/.config/OrvexSDR/OrvexSDR_Brisko.ini" <<EOF
[frmMain]
CurrentPlaybackDevice=$null
CurrentCaptureDevice=1
ExtendedDisplay=True
StandardDisplay=False
CompactDisplay=False
FullDisplay=False
SpectrumAnalyserOn=$on
PerfStatsOn=0

[SpectrumAnalyser]
Mode=0
WaterfallOn=True

[SpectrumAnalyser.Mode.0]
LogMode=True
EOF

cat >"$home/measure.sh" <<'EOF'
#!/bin/sh
# Runs inside Xvfb: start the panel, let it settle, then count its CPU ticks.
"$PROGRAM" --on &
pid=$!
sleep "$WARMUP"
if ! kill -0 "$pid" 2>/dev/null; then echo "orvexsdr ended early" >&2; exit 1; fi
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
t0=$(ticks "$pid")
w0=$(date +%s.%N)
sleep "$SECONDS_TO_MEASURE"
t1=$(ticks "$pid")
w1=$(date +%s.%N)
kill -TERM "$pid"
wait "$pid" 2>/dev/null || true
hz=$(getconf CLK_TCK)
awk -v t0="$t0" -v t1="$t1" -v w0="$w0" -v w1="$w1" -v hz="$hz" 'BEGIN {
    cpu = (t1 - t0) / hz; wall = w1 - w0
    printf "%.2f s of CPU in %.1f s: %.1f %% of one core\n", cpu, wall, 100 * cpu / wall }'
EOF
chmod +x "$home/measure.sh"

echo "orvexsdr powered on, simulated receiver, display size Ext, spectrum $spectrum" \
    "(waterfall on, log scale), playback to ALSA null (device $null); ${seconds} s after" \
    "${warmup} s"
env -u QT_QPA_PLATFORM HOME="$home" XDG_CONFIG_HOME="$home/.config" \
    XDG_STATE_HOME="$home/.state" XDG_RUNTIME_DIR="$home" PROGRAM="$program" WARMUP="$warmup" \
    SECONDS_TO_MEASURE="$seconds" \
    xvfb-run -a -s "-screen 0 1366x768x24" "$home/measure.sh" 2>&1 |
    grep -v -e "propagateSizeHints" -e "X11 connection" -e "^$" || true
