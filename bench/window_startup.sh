#!/bin/sh
# Time from starting orvexsdr to its window on the screen, under Xvfb, with fresh settings and
# the FFTW plans already cached (one warm-up start first). Prints the median of five starts.
#   bench/window_startup.sh BUILD_DIR
set -eu
build=${1:?usage: window_startup.sh BUILD_DIR}
bin="$build/ui/orvexsdr"
command -v xvfb-run >/dev/null && command -v xdotool >/dev/null || {
    echo "needs xvfb-run and xdotool (apt-get install xvfb xdotool)" >&2
    exit 2
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/run.sh" <<SCRIPT
#!/bin/sh
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
mkdir -p "\$HOME"
for i in 0 1 2 3 4 5; do
    t0=\$(date +%s%N)
    "$bin" --settings "$work/settings.ini" >/dev/null 2>&1 &
    pid=\$!
    until xdotool search --onlyvisible --name "OrvexSDR - Software Defined Radio" >/dev/null 2>&1; do
        kill -0 \$pid 2>/dev/null || { echo "orvexsdr ended early" >&2; exit 1; }
    done
    t1=\$(date +%s%N)
    kill -TERM \$pid; wait \$pid || true
    [ \$i -gt 0 ] && echo \$(( (t1 - t0) / 1000000 ))
done
SCRIPT
chmod +x "$work/run.sh"
xvfb-run -a -s "-screen 0 1366x768x24" "$work/run.sh" | sort -n | awk '
    { t[NR] = $1 } END { printf "orvexsdr start-up to a shown window: median %d ms (%d starts: %d to %d ms)\n", t[int((NR + 1) / 2)], NR, t[1], t[NR] }'
