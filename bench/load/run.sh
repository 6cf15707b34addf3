#!/usr/bin/env bash
# A bounded loopback load on brelvo-service: wrk sends auth, post_logs and
# post_issue (with a screenshot) in turn for DURATION (default 60 s) while the
# dashboard is asked for every 2 s. Prints wrk's figures, the bad answers, the
# dashboard's slowest answer, and the service's memory before and after.
#
#   bench/load/run.sh SERVICE_BIN SEED [DURATION]
set -euo pipefail
service_bin=$1 seed=$2 duration=${3:-60s}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
service_pid=
cleanup() {
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

exec {out}< <(exec "$service_bin" --port 0 --db "$work/service.sqlite" --seed "$seed" 2>"$work/service.log")
service_pid=$!
read -r -t 20 -u "$out" line
url="http://${line#listening on }"

app=$(printf '1_org.brelvo.notes__2.4__' | base64 | tr -d '=')
printf '{"locale":"en","udid":"AD-load-1","app_id":"%s","api_key":"demo-key-0001","a_v":"Qt:0.1.0:1:1.0"}' "$app" >"$work/auth.json"
token=$(curl -s -H 'Content-Type: application/json' --data @"$work/auth.json" "$url/api/1_0/lib/auth" |
  sed -E 's/.*"access_token":"([^"]+)".*/\1/')
printf '{"locale":"en","access_token":"%s","logs":[{"log_level":"info","message":"load","created_at":"1700000000"}]}' \
  "$token" >"$work/logs.json"
# A screenshot-sized PNG: the service's own tester picture, large.
curl -s "$url/static/tester-load.png" -o "$work/shot.png"
printf '{"locale":"en","access_token":"%s","uid":"","rid":"0","draft":"0","issue":{"tracker":"1","priority":"1","subject":"Load","description":"under%%20load","attachments":[{"name":"Screenshot1.png","file":"%s"}]}}' \
  "$token" "$(base64 -w0 "$work/shot.png")" >"$work/issue.json"

memory() { awk '/^VmRSS|^VmHWM/ {printf "%s %s kB  ", $1, $2}' "/proc/$service_pid/status"; echo; }
echo "service memory before: $(memory)"
(
  slowest=0
  while kill -0 "$service_pid" 2>/dev/null; do
    ms=$(curl -s -o /dev/null -w '%{time_total}' "$url/" | awk '{printf "%d", $1 * 1000}')
    [ "$ms" -gt "$slowest" ] && slowest=$ms && echo "$slowest" >"$work/dashboard-ms"
    sleep 2
  done
) &
prober=$!
wrk -t2 -c8 -d"$duration" --latency -s "$here/mix.lua" "$url" -- "$work"
kill "$prober" 2>/dev/null || true
echo "dashboard's slowest answer during the load: $(cat "$work/dashboard-ms" 2>/dev/null || echo '?') ms"
echo "service memory after:  $(memory)"
"$service_bin" --db "$work/service.sqlite" --summary | grep -E "^(sessions|requests|issues|log batches):"
