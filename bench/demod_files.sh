#!/bin/sh
# orvexsdr-cli demod on long files: wall clock (the whole process), the chain's own time, the
# time of the file handling around it (reading and writing, from demod's summary: its run time
# less the chain's) as a share of the chain's, and the peak resident memory, for a 10-minute IF
# file and a 2 GB one, on both back ends.
#
#   bench/demod_files.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR defaults to build (a Release or RelWithDebInfo build); WORK_DIR to /tmp. The files
# are made there (about 2.1 GB; check the free space first) and removed at the end.
set -eu
build=${1:-build}
work=${2:-/tmp}/orvex-demod-bench.$$
cli="$build/cli/orvexsdr-cli"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT INT TERM

# Ten minutes of the simulated receiver's IF: the default scene's stations around 6.015 MHz.
"$cli" sim-if --freq 6.015 --seconds 600 --out "$work/if10.wav" >/dev/null

# About 2 GB: the ten minutes repeated, under a header that declares the whole length.
python3 - "$work/if10.wav" "$work/if2g.wav" <<'EOF'
import struct, sys
src, dst = sys.argv[1], sys.argv[2]
data = open(src, 'rb').read()[44:]
repeats = (2 * 10**9) // len(data) + 1
size = len(data) * repeats
with open(dst, 'wb') as f:
    f.write(b'RIFF' + struct.pack('<I', 36 + size) + b'WAVEfmt ' +
            struct.pack('<IHHIIHH', 16, 1, 1, 48000, 96000, 2, 16) + b'data' +
            struct.pack('<I', size))
    for _ in range(repeats):
        f.write(data)
EOF

# FFTW measures its transform sizes once and caches them: not part of the figures.
"$cli" demod --in "$work/if10.wav" --out "$work/af.wav" --mode am --spl 2>/dev/null
rm -f "$work/af.wav"

printf '%-8s %-9s %8s %8s %8s %8s %9s %8s\n' file back-end "wall s" "chain s" "files s" \
    "files %" "peak MiB" "x real"
for file in if10 if2g; do
    bytes=$(stat -c %s "$work/$file.wav")
    seconds=$(( (bytes - 44) / 96000 ))
    for spl in "" --spl; do
        /usr/bin/time -f '%e %M' -o "$work/time" \
            "$cli" demod --in "$work/$file.wav" --out "$work/af.wav" --mode am $spl \
            2>"$work/err"
        set -- $(cat "$work/time")
        wall=$1
        rss=$2
        run=$(sed -n 's/.* in \([0-9.]*\) s (the chain.*/\1/p' "$work/err")
        chain=$(sed -n 's/.*(the chain \([0-9.]*\) s).*/\1/p' "$work/err")
        awk -v f="$file" -v b="${spl:-portable}" -v w="$wall" -v c="$chain" -v r="$rss" \
            -v t="$run" -v s="$seconds" 'BEGIN { b = (b == "--spl") ? "optimised" : b;
            printf "%-8s %-9s %8.2f %8.2f %8.2f %7.1f%% %9.1f %8.0f\n",
                   f, b, w, c, t - c, 100 * (t - c) / c, r / 1024, s / w }'
        rm -f "$work/af.wav"
    done
done
