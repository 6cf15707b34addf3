#!/usr/bin/env bash
# A bounded loopback load on brelvo-service, on both stores in one run: wrk
# sends auth, post_logs and post_issue (with a screenshot) in turn for
# DURATION (default 60 s), first to one instance on SQLite, then spread over
# two instances sharing one PostgreSQL database (skipped, with the reason,
# where PostgreSQL cannot run here). Eight connections either way; the
# dashboard is asked for every 2 s. Prints wrk's figures, the bad answers, the
# dashboard's slowest answer and each instance's memory, then one line per
# store to compare.
#
#   bench/load/run.sh SERVICE_BIN SEED [DURATION]
set -euo pipefail
service_bin=$1 seed=$2 duration=${3:-60s}
here=$(cd "$(dirname "$0")" && pwd)
postgres=$here/../../tests/support/postgres.sh
work=$(mktemp -d)
chmod 755 "$work"  # PostgreSQL runs as an unprivileged user when we are root
pids=() urls=() results=()
stop_instances() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
  pids=() urls=()
}
cleanup() {
  stop_instances
  [ -f "$work/pg/url" ] && "$postgres" stop "$work/pg" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

# start_instance DB: one more instance on DB, on a free port.
start_instance() {
  local n=${#pids[@]} line
  exec {out}< <(exec "$service_bin" --port 0 --db "$1" --seed "$seed" 2>"$work/service-$n.log")
  pids+=($!)
  read -r -t 20 -u "$out" line
  urls+=("http://${line#listening on }")
}

# The request bodies, with a session opened through the first instance: the
# others accept its token when they share its database.
write_bodies() {
  local url=${urls[0]} app token
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
}

memory() { awk '/^VmRSS|^VmHWM/ {printf "%s %s kB  ", $1, $2}' "/proc/$1/status"; }

# load STORE: eight connections spread over the running instances, with the
# dashboard of the first one asked every 2 s.
load() {
  local store=$1 n=${#urls[@]} i
  echo "== $store: ${n} instance(s)"
  for i in "${!pids[@]}"; do echo "instance $i memory before: $(memory "${pids[$i]}")"; done
  rm -f "$work/dashboard-ms"
  (
    slowest=0
    while kill -0 "${pids[0]}" 2>/dev/null; do
      ms=$(curl -s -o /dev/null -w '%{time_total}' "${urls[0]}/" | awk '{printf "%d", $1 * 1000}')
      [ "$ms" -gt "$slowest" ] && slowest=$ms && echo "$slowest" >"$work/dashboard-ms"
      sleep 2
    done
  ) &
  local prober=$! wrks=()
  for i in "${!urls[@]}"; do
    wrk -t$((2 / n > 0 ? 2 / n : 1)) -c$((8 / n)) -d"$duration" --latency -s "$here/mix.lua" "${urls[$i]}" -- "$work" \
      >"$work/wrk-$i.txt" &
    wrks+=($!)
  done
  wait "${wrks[@]}"
  kill "$prober" 2>/dev/null || true
  for i in "${!urls[@]}"; do
    echo "-- instance $i (${urls[$i]})"
    cat "$work/wrk-$i.txt"
  done
  for i in "${!pids[@]}"; do echo "instance $i memory after:  $(memory "${pids[$i]}")"; done
  local dashboard
  dashboard=$(cat "$work/dashboard-ms" 2>/dev/null || echo '?')
  echo "dashboard's slowest answer during the load: $dashboard ms"
  # Requests and bad answers add up over the instances; the p99 shown is the
  # worst instance's.
  results+=("$(cat "$work"/wrk-*.txt | awk -v store="$store" -v n="$n" -v dash="$dashboard" '
    /^Requests\/sec:/ { rate += $2 }
    /^bad answers:/ { bad += $3; total += $5 }
    /^latency p50/ { p = $6 + 0; if (p > p99) p99 = p }
    END { printf "%-34s %8d requests  %6d bad  %8.1f req/s  p99 %8.2f ms  dashboard %s ms\n",
                 store " (" n " instance" (n > 1 ? "s" : "") ")", total, bad, rate, p99, dash }')")
  rm -f "$work"/wrk-*.txt
}

start_instance "$work/service.sqlite"
write_bodies
load "SQLite"
"$service_bin" --db "$work/service.sqlite" --summary | grep -E "^(sessions|requests|issues|log batches):"
stop_instances

if reason=$("$postgres" start "$work/pg" 2>&1); then
  db="$(cat "$work/pg/url")/postgres"
  start_instance "$db"
  start_instance "$db"
  write_bodies
  load "PostgreSQL"
  "$service_bin" --db "$db" --summary | grep -E "^(sessions|requests|issues|log batches):"
  stop_instances
else
  results+=("PostgreSQL: not run: ${reason##*$'\n'}")
fi

echo "== side by side"
printf '%s\n' "${results[@]}"
