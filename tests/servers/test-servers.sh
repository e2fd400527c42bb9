#!/usr/bin/env bash
# Starts and stops the throwaway database servers of the test suite: a PostgreSQL 15 and a
# MariaDB server, each in a fresh temporary folder, listening on loopback only, run by an
# unprivileged user where the server insists on one.
#
#   test-servers.sh start ENVFILE   starts both and writes their connection data to ENVFILE
#   test-servers.sh stop ENVFILE    stops what ENVFILE names and removes the folders
set -euo pipefail

action=${1:?usage: test-servers.sh start|stop ENVFILE}
envfile=${2:?usage: test-servers.sh start|stop ENVFILE}
PGBIN=${PGBIN:-/usr/lib/postgresql/15/bin}

port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
free_port() {
    local p=$(( 20000 + (RANDOM % 20000) ))
    while ! port_free "$p"; do p=$((p + 1)); done
    echo "$p"
}
as_user() {
    if [ "$(id -u)" -eq 0 ]; then setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"; else "$@"; fi
}

stop_all() {
    [ -f "$envfile" ] || return 0
    # shellcheck disable=SC1090
    . "$envfile"
    if [ -n "${PG_DIR:-}" ] && [ -d "$PG_DIR/data" ]; then
        as_user "$PGBIN/pg_ctl" -D "$PG_DIR/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    if [ -n "${MARIADB_DIR:-}" ] && [ -f "$MARIADB_DIR/mariadb.pid" ]; then
        pid=$(cat "$MARIADB_DIR/mariadb.pid" 2>/dev/null || true)
        if [ -n "$pid" ]; then
            kill "$pid" 2>/dev/null || true
            for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
            kill -9 "$pid" 2>/dev/null || true
        fi
    fi
    [ -n "${SERVERS_ROOT:-}" ] && rm -rf "$SERVERS_ROOT"
    rm -f "$envfile"
}

start_all() {
    stop_all
    root=$(mktemp -d "${TMPDIR:-/tmp}/ardvin-servers-XXXXXX")
    chmod 755 "$root"

    # PostgreSQL: refuses to run as root, so its folder belongs to nobody.
    pgdir="$root/pg"
    mkdir -p "$pgdir"
    [ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$pgdir"
    pgport=$(free_port)
    as_user "$PGBIN/initdb" -D "$pgdir/data" -U postgres -A trust -E UTF8 --locale=C --no-sync >"$root/pg-initdb.log" 2>&1 \
        || { cat "$root/pg-initdb.log" >&2; exit 1; }
    as_user "$PGBIN/pg_ctl" -D "$pgdir/data" -l "$pgdir/server.log" -w -t 60 start \
        -o "-p $pgport -k $pgdir -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=50" \
        >/dev/null || { cat "$pgdir/server.log" >&2; exit 1; }

    # MariaDB.
    mdir="$root/mariadb"
    mkdir -p "$mdir"
    mport=$(free_port)
    while [ "$mport" = "$pgport" ]; do mport=$(free_port); done
    mariadb-install-db --no-defaults --datadir="$mdir/data" --user=root --auth-root-authentication-method=normal \
        --skip-test-db >"$root/mariadb-install.log" 2>&1 || { cat "$root/mariadb-install.log" >&2; exit 1; }
    setsid mariadbd --no-defaults --datadir="$mdir/data" --socket="$mdir/mariadb.sock" --port="$mport" \
        --bind-address=127.0.0.1 --user=root --pid-file="$mdir/mariadb.pid" --log-error="$mdir/error.log" \
        --innodb-buffer-pool-size=64M --innodb-log-file-size=16M --innodb-flush-log-at-trx-commit=0 \
        --character-set-server=utf8mb4 --collation-server=utf8mb4_unicode_ci --skip-name-resolve \
        </dev/null >/dev/null 2>&1 &
    for _ in $(seq 1 300); do
        mariadb-admin --no-defaults -uroot --socket="$mdir/mariadb.sock" ping >/dev/null 2>&1 && break
        sleep 0.1
    done
    mariadb-admin --no-defaults -uroot --socket="$mdir/mariadb.sock" ping >/dev/null 2>&1 \
        || { cat "$mdir/error.log" >&2; exit 1; }

    cat >"$envfile" <<EOT
SERVERS_ROOT=$root
PG_DIR=$pgdir
PG_HOST=127.0.0.1
PG_PORT=$pgport
PG_USER=postgres
MARIADB_DIR=$mdir
MARIADB_HOST=127.0.0.1
MARIADB_PORT=$mport
MARIADB_USER=root
MARIADB_PASSWORD=
MARIADB_SOCKET=$mdir/mariadb.sock
EOT
    echo "PostgreSQL on 127.0.0.1:$pgport, MariaDB on 127.0.0.1:$mport ($root)"
}

case "$action" in
start) start_all ;;
stop) stop_all ;;
*) echo "usage: test-servers.sh start|stop ENVFILE" >&2; exit 2 ;;
esac
