#!/usr/bin/env bash
# The notes application's quit path, many times over: start, wait for the
# session, quit. Every run must exit 0 and say nothing of a mutex destroyed
# while locked or of a sanitizer finding; a shutdown race shows only now and
# then, hence the count.
#
#   notes_quit.sh SERVICE_BIN NOTES_BIN SEED [RUNS]
set -euo pipefail
service_bin=$1 notes_bin=$2 seed=$3 runs=${4:-100}

work=$(mktemp -d)
service_pid=
cleanup() {
  if [ -n "$service_pid" ] && kill -0 "$service_pid" 2>/dev/null; then
    kill "$service_pid"
    wait "$service_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

exec {service_out}< <(exec "$service_bin" --port 0 --db "$work/service.sqlite" --seed "$seed" 2>"$work/service.log")
service_pid=$!
line=
if ! read -r -t 30 -u "$service_out" line || [[ "$line" != "listening on "* ]]; then
  echo "brelvo-service did not start:" >&2
  cat "$work/service.log" >&2
  exit 1
fi
url="http://${line#listening on }/"
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
