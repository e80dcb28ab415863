#!/usr/bin/env bash
# A private PostgreSQL server for the plant store's tests and benchmarks.
#
#   scripts/pg-test-server.sh start STATE    create a cluster in a new temporary
#                                            folder and start it
#   scripts/pg-test-server.sh stop STATE     stop it and remove its folder
#   scripts/pg-test-server.sh pause STATE    stop it, keeping its data
#   scripts/pg-test-server.sh resume STATE   start it again on the same port
#
# STATE is a folder of the caller (created when missing) that receives
#   url      postgresql://trevolo_test@127.0.0.1:PORT/postgres  (a superuser)
#   socket   the folder of the server's Unix socket
#   datadir  the temporary folder that holds the cluster, the socket and the log
#
# The cluster is made by initdb in a folder under TMPDIR (or /tmp); run as
# root, the server runs as the postgres user and the folder belongs to it.
# It listens on a socket in that folder and on 127.0.0.1 at a free port, with
# trust authentication, no fsync and nothing else configured: a throwaway
# server for tests only. With TREVOLO_PG_DURABLE=1 in the environment the
# server syncs its commits as a production server does (for benchmarks).
set -euo pipefail

action=${1:-}
state=${2:-}
if [ -z "$action" ] || [ -z "$state" ]; then
  echo "usage: $0 start|stop|pause|resume STATE" >&2
  exit 2
fi

bindir=$(pg_config --bindir 2>/dev/null || true)
for d in "$bindir" /usr/lib/postgresql/15/bin /usr/lib/postgresql/*/bin; do
  if [ -n "$d" ] && [ -x "$d/initdb" ] && [ -x "$d/pg_ctl" ]; then
    bindir=$d
    break
  fi
done
if [ ! -x "$bindir/initdb" ]; then
  echo "$0: PostgreSQL's initdb was not found (install the postgresql package)" >&2
  exit 2
fi

# Runs a server program as the postgres user when we are root.
as_server() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start_server() {
  local dir=$1 port=$2 fast="-c fsync=off -c synchronous_commit=off -c full_page_writes=off"
  [ "${TREVOLO_PG_DURABLE:-0}" = 1 ] && fast=""
  as_server "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-k $dir -p $port -c listen_addresses=127.0.0.1 $fast -c max_connections=100" \
    start >/dev/null
}

case "$action" in
start)
  # A server left by an earlier run that was itself killed goes first.
  [ -f "$state/datadir" ] && "$0" stop "$state"
  mkdir -p "$state"
  dir=$(mktemp -d "${TMPDIR:-/tmp}/trevolo-pg.XXXXXX")
  chmod 755 "$dir"
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$dir"
  fi
  echo "$dir" >"$state/datadir"
  as_server "$bindir/initdb" -D "$dir/data" -U trevolo_test --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; exit 1; }
  # A port that is free now; a server that loses the race to another
  # program fails to start and is tried once more on another port.
  for attempt in 1 2 3; do
    port=$(free_port)
    if start_server "$dir" "$port"; then
      break
    fi
    [ "$attempt" -lt 3 ] || { cat "$dir/server.log" >&2; exit 1; }
  done
  echo "$port" >"$state/port"
  echo "$dir" >"$state/socket"
  echo "postgresql://trevolo_test@127.0.0.1:$port/postgres" >"$state/url"
  ;;
stop | pause)
  [ -f "$state/datadir" ] || exit 0
  dir=$(cat "$state/datadir")
  if [ -f "$dir/data/postmaster.pid" ]; then
    # A pause shuts down cleanly so the commits not yet flushed survive it.
    mode=immediate
    [ "$action" = pause ] && mode=fast
    as_server "$bindir/pg_ctl" -D "$dir/data" -m "$mode" -w stop >/dev/null 2>&1 || true
  fi
  if [ "$action" = stop ]; then
    rm -rf "$dir"
    rm -f "$state/datadir" "$state/url" "$state/port" "$state/socket"
  fi
  ;;
resume)
  dir=$(cat "$state/datadir")
  start_server "$dir" "$(cat "$state/port")"
  ;;
*)
  echo "usage: $0 start|stop|pause|resume STATE" >&2
  exit 2
  ;;
esac
