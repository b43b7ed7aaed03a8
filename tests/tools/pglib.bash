# A throwaway PostgreSQL cluster with PostGIS for the campaign tests and the
# benchmark: initdb into a directory of its own as an unprivileged user,
# listening only on a Unix socket in that directory (no TCP at all), never a
# system service and never another host. Sourced; not itself a test.
#
#   pg_start DIR   makes and starts the cluster in DIR (which must be empty or
#                  missing) and creates the database "campaign" with PostGIS;
#                  sets pg_dir, pg_sock, pg_port, pg_bin and pg_dsn
#                  (PG:"dbname=campaign host=... port=... user=fieldtrace")
#   pg_start_or_skip DIR   pg_start for a test script (lib.bash): ends it as
#                  skipped (77) where the server or PostGIS is not installed,
#                  fails it where the cluster does not start
#   pg_stop        stops it at once and removes DIR (safe to call twice)
#   pg_restart     starts it again on the same data, after a crash
#   pg_pid         the postmaster's process id
#   pg_sql SQL     runs SQL as the superuser in "campaign", prints tuples only
#
# Returns 77 from pg_start where the server or PostGIS is not installed, so a
# test can skip. The caller stops the cluster in its EXIT trap (pg_stop).
pg_bin=""
pg_dir=""
pg_sock=""
pg_port=5432
pg_dsn=""
pg_owner=""

pg_find_bin() {
  local v
  for v in 15 16 17 14 13; do
    if [ -x "/usr/lib/postgresql/$v/bin/initdb" ]; then
      pg_bin=/usr/lib/postgresql/$v/bin
      [ -f "/usr/share/postgresql/$v/extension/postgis.control" ] && return 0
      echo "pglib: PostGIS for PostgreSQL $v is not installed (postgresql-$v-postgis-3)" >&2
      return 77
    fi
  done
  echo "pglib: no PostgreSQL server installed (postgresql)" >&2
  return 77
}

# Runs a command as the cluster's owner: root cannot run postgres, so as root
# the cluster belongs to "nobody".
pg_as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "$pg_owner" -- "$@"
  else
    "$@"
  fi
}

pg_start() {
  pg_find_bin || return $?
  pg_dir=$1
  mkdir -p "$pg_dir"
  pg_sock=$pg_dir/sock
  mkdir -p "$pg_sock"
  pg_owner=$(id -un)
  if [ "$(id -u)" -eq 0 ]; then
    pg_owner=nobody
    # The server must reach its directory through every parent: open the
    # temporary folders above it (mktemp makes them 0700) to be passed through.
    local up tmp
    tmp=$(realpath "${TMPDIR:-/tmp}")
    up=$(dirname "$(realpath "$pg_dir")")
    while [ "$up" != / ] && [ "${up#"$tmp"/}" != "$up" ]; do
      chmod o+x "$up" 2>/dev/null || true
      up=$(dirname "$up")
    done
    chown -R "$pg_owner" "$pg_dir"
  fi
  pg_as_owner "$pg_bin/initdb" -D "$pg_dir/data" -U fieldtrace --auth=trust --encoding=UTF8 --locale=C \
    >"$pg_dir/initdb.log" 2>&1 || { cat "$pg_dir/initdb.log" >&2; return 1; }
  # Password logins for the role "pwuser" (the wrong-password test); everyone else is trusted on the socket.
  { echo "local all pwuser scram-sha-256"; echo "local all all trust"; } >"$pg_dir/data/pg_hba.conf"
  cat >>"$pg_dir/data/postgresql.conf" <<EOF
listen_addresses = ''
unix_socket_directories = '$pg_sock'
port = $pg_port
fsync = off
synchronous_commit = off
full_page_writes = off
max_wal_size = 1GB
shared_buffers = 128MB
EOF
  pg_restart || return 1
  pg_sql_db postgres "CREATE DATABASE campaign" >/dev/null || return 1
  pg_sql "CREATE EXTENSION postgis" >/dev/null || return 1
  pg_dsn="PG:dbname=campaign host=$pg_sock port=$pg_port user=fieldtrace"
}

pg_start_or_skip() {
  local rc=0
  pg_start "$1" || rc=$?
  [ "$rc" -eq 77 ] && { echo "no PostgreSQL with PostGIS here"; exit 77; }
  [ "$rc" -eq 0 ] || fail "the throwaway cluster did not start"
}

pg_restart() {
  pg_as_owner "$pg_bin/pg_ctl" -D "$pg_dir/data" -l "$pg_dir/server.log" -w -t 60 start >/dev/null ||
    { tail -20 "$pg_dir/server.log" >&2; return 1; }
}

pg_pid() { head -1 "$pg_dir/data/postmaster.pid"; }

pg_stop() {
  [ -n "$pg_dir" ] || return 0
  if [ -f "$pg_dir/data/postmaster.pid" ]; then
    pg_as_owner "$pg_bin/pg_ctl" -D "$pg_dir/data" -m immediate -w -t 30 stop >/dev/null 2>&1 || true
  fi
  rm -rf "$pg_dir"
  pg_dir=""
}

pg_sql_db() {
  local db=$1
  shift
  "$pg_bin/psql" -X -q -A -t -v ON_ERROR_STOP=1 -h "$pg_sock" -p "$pg_port" -U fieldtrace -d "$db" -c "$*"
}
pg_sql() { pg_sql_db campaign "$@"; }
