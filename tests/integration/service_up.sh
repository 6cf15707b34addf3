# Sourced by the notes scripts: starts brelvo-service on a free port with a
# fresh database in $work, sets $url to its base address and stops it (and
# removes $work) on exit. Needs $service_bin and $seed.
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
