#!/bin/sh
# first-start.sh PROGRAM TRACE_FILE: starts the window PROGRAM with "trace", waits (60 s at most)
# for its trace file to show that start-up has finished, then asks it to close as a desktop
# logout does (SIGTERM) and exits with the window's own exit status.
set -u
program=$1
trace=$2
"$program" trace &
pid=$!
tries=0
until grep -q "Form_Initialize : End" "$trace" 2>/dev/null; do
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"
        echo "first-start.sh: $program ended ($?) before its start-up finished" >&2
        exit 1
    fi
    tries=$((tries + 1))
    if [ "$tries" -gt 600 ]; then
        kill -KILL "$pid"
        echo "first-start.sh: $program did not finish its start-up in 60 s" >&2
        exit 1
    fi
    sleep 0.1
done
kill -TERM "$pid"
wait "$pid"
