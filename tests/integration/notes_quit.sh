#!/usr/bin/env bash
# The notes application's quit path, many times over: start, wait for the
# session, quit. Every run must exit 0 and say nothing of a mutex destroyed
# while locked or of a sanitizer finding; a shutdown race shows only now and
# then, hence the count.
#
#   notes_quit.sh SERVICE_BIN NOTES_BIN SEED [RUNS]
set -euo pipefail
service_bin=$1 notes_bin=$2 seed=$3 runs=${4:-100}

source "$(dirname "$0")/service_up.sh"
printf 'wait-session\nquit\n' >"$work/script"

for run in $(seq 1 "$runs"); do
  status=0
  BRELVO_HOME="$work/home" QT_QPA_PLATFORM=offscreen \
    "$notes_bin" --script "$work/script" --service-url "$url" >"$work/out" 2>&1 || status=$?
  if [ "$status" -ne 0 ] || grep -Eq 'destroying locked mutex|ERROR: (Address|Leak)Sanitizer|runtime error:' "$work/out"; then
    echo "run $run of $runs exited with $status:" >&2
    tail -n 40 "$work/out" >&2
    exit 1
  fi
done
echo "$runs runs quit cleanly"
