#!/usr/bin/env bash
# A throw-away PostgreSQL cluster for the service's tests.
#   postgres.sh start DIR    a new cluster in DIR on a free loopback port (socket in DIR too);
#                            writes its base address postgresql://brelvo@127.0.0.1:PORT to DIR/url
#   postgres.sh stop DIR     stops it (nothing when it is not running)
#   postgres.sh restart DIR  stops it and starts it again on the same port and data
#   postgres.sh remove DIR   stops it and removes DIR
# Trust authentication, loopback only, no fsync: test data, never anything to keep.
# When no cluster can be run here, exits with 77 and one line saying why, also
# written to DIR/skip (the tests skip with it).
set -euo pipefail

action=${1:-}
dir=${2:-}
if [ -z "$action" ] || [ -z "$dir" ]; then
  echo "usage: postgres.sh start|stop|restart|remove DIR" >&2
  exit 2
fi
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
superuser=brelvo

# The cluster's own files (data, log, socket) live in DIR, or, when DIR lies
# where the cluster's owner cannot reach (a build folder under /root), in a
# folder of /tmp that DIR/home names.
home=$dir
[ -f "$dir/home" ] && home=$(cat "$dir/home")
data="$home/data"

skip() {
  echo "$1" | tee "$dir/skip"
  exit 77
}

bin=
for candidate in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
  if [ -x "$candidate/initdb" ] && [ -x "$candidate/pg_ctl" ]; then
    bin=$candidate
    break
  fi
done

# PostgreSQL refuses to run as root: then the cluster belongs to nobody.
as_owner=()
owner=
if [ "$(id -u)" -eq 0 ]; then
  owner=nobody
  if runuser -u "$owner" -- true 2>/dev/null; then
    as_owner=(runuser -u "$owner" --)
  elif setpriv --reuid="$owner" --regid="$(id -g "$owner")" --clear-groups true 2>/dev/null; then
    as_owner=(setpriv --reuid="$owner" --regid="$(id -g "$owner")" --clear-groups)
  else
    as_owner=(false)
  fi
fi
run() { "${as_owner[@]}" "$@"; }

# The server's own messages go to DIR/log; on a failure the end of it is shown.
ctl() {
  (cd "$home" && run "$bin/pg_ctl" -D "$data" -l "$home/log" "$@" >/dev/null)
}

stop() {
  if [ -n "$bin" ] && [ -f "$data/postmaster.pid" ]; then
    ctl -m fast -w -t 60 stop || true
  fi
}

# Starts the server of DIR on the given port; fails when it does not come up.
serve() {
  local port=$1 sockets=$home
  # A unix socket's path has a length limit; past it the cluster listens on TCP only.
  if [ $((${#home} + 20)) -gt 107 ]; then sockets=; fi
  ctl -w -t 60 -o "-p $port -k '$sockets' -c listen_addresses=127.0.0.1" start || return 1
  # pg_ctl's wait ends when the server says it is ready; a connection proves it.
  for _ in $(seq 1 300); do
    if pg_isready -q -h 127.0.0.1 -p "$port" -d postgres -U "$superuser"; then
      echo "$port" >"$dir/port"
      echo "postgresql://$superuser@127.0.0.1:$port" >"$dir/url"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# A port no one listens on now; another process may still take it first, hence the retries in start.
free_port() {
  local port
  for _ in $(seq 1 100); do
    port=$((20000 + RANDOM % 40000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
  done
  return 1
}

case "$action" in
  start)
    stop
    [ "$home" = "$dir" ] || rm -rf "$home"
    find "$dir" -mindepth 1 -delete
    home=$dir
    [ -n "$bin" ] || skip "PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/initdb)"
    command -v pg_isready >/dev/null || skip "pg_isready is not installed"
    if [ "${as_owner[0]:-}" = false ]; then skip "running as root and unable to switch to the user nobody"; fi
    [ -z "$owner" ] || chown "$owner" "$dir"
    if ! run test -w "$dir"; then
      home=$(mktemp -d /tmp/brelvo-postgres-XXXXXX)
      chmod 755 "$home"
      [ -z "$owner" ] || chown "$owner" "$home"
      echo "$home" >"$dir/home"
      run test -w "$home" || skip "neither $dir nor $home is writable by ${owner:-$(id -un)}"
    fi
    data="$home/data"
    if ! (cd "$home" && run "$bin/initdb" -D "$data" -U "$superuser" --auth=trust --locale=C --encoding=UTF8 \
      --no-sync >"$dir/initdb.log" 2>&1); then
      cat "$dir/initdb.log" >&2
      exit 1
    fi
    cat >>"$data/postgresql.conf" <<EOF
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 300
EOF
    for _ in 1 2 3 4 5; do
      port=$(free_port) || break
      if serve "$port"; then exit 0; fi
      stop
    done
    tail -n 20 "$home/log" >&2 || true
    echo "postgres.sh: the server did not start" >&2
    exit 1
    ;;
  stop)
    stop
    ;;
  restart)
    [ -f "$dir/port" ] || { echo "postgres.sh: no cluster started in $dir" >&2; exit 1; }
    stop
    serve "$(cat "$dir/port")" || { tail -n 20 "$home/log" >&2; exit 1; }
    ;;
  remove)
    stop
    [ "$home" = "$dir" ] || rm -rf "$home"
    rm -rf "$dir"
    ;;
  *)
    echo "usage: postgres.sh start|stop|restart|remove DIR" >&2
    exit 2
    ;;
esac
