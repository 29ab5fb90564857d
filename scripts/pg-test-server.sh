#!/usr/bin/env bash
# Starts or stops a throw-away PostgreSQL cluster for the test run.
#
#   pg-test-server.sh start DIR   new cluster in a temporary folder, on a free port of 127.0.0.1;
#                                 writes DIR/pg.env (PGHOST, PGPORT, PGUSER, PGDATABASE, PGDATA)
#   pg-test-server.sh stop DIR    stops that cluster and removes its folder and DIR/pg.env
#
# Both are idempotent and quiet on success. Run as root, the server runs as the postgres user.
set -euo pipefail

readonly TEST_USER=kvztest
readonly TEST_DATABASE=kvztest
# A role that has to give its password, for the tests of libpq's password rules.
readonly SECRET_USER=kvzsecret
readonly SECRET_PASSWORD=kvz-secret

die() {
    echo "pg-test-server: $*" >&2
    exit 1
}

find_bindir() {
    local dir
    for dir in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
        if [[ -x $dir/initdb && -x $dir/postgres ]]; then
            echo "$dir"
            return
        fi
    done
    die "no PostgreSQL server binaries under /usr/lib/postgresql/*/bin"
}

# Runs a command as the owner of the cluster (postgres when we are root).
as_owner() {
    if [[ $(id -u) -eq 0 ]]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

free_port() {
    python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])' 2>/dev/null && return
    local port
    for port in $(shuf -i 20000-60000 -n 50); do
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return
        fi
    done
    die "no free TCP port found"
}

is_running() {
    local env_file=$1
    [[ -f $env_file ]] || return 1
    # shellcheck disable=SC1090
    (source "$env_file" && as_owner "$BINDIR/pg_ctl" status -D "$PGDATA" >/dev/null 2>&1)
}

start() {
    local dir=$1 env_file=$1/pg.env
    mkdir -p "$dir"
    if is_running "$env_file"; then
        return
    fi
    rm -f "$env_file"

    local root
    root=$(mktemp -d /tmp/kvz-pgtest.XXXXXX)
    chmod 755 "$root"
    if [[ $(id -u) -eq 0 ]]; then
        chown postgres: "$root"
    fi
    local data=$root/data
    local port
    port=$(free_port)

    as_owner "$BINDIR/initdb" -D "$data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 \
        >"$root/initdb.log" 2>&1 || die "initdb failed: $(tail -n 5 "$root/initdb.log")"
    as_owner sed -i "1i host all $SECRET_USER 127.0.0.1/32 scram-sha-256" "$data/pg_hba.conf"
    as_owner "$BINDIR/pg_ctl" start -D "$data" -w -t 60 -l "$root/server.log" \
        -o "-c listen_addresses=127.0.0.1 -p $port -k $root -c fsync=off \
            -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" \
        >/dev/null 2>&1 || die "server did not start: $(tail -n 5 "$root/server.log")"

    local psql=("$BINDIR/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U postgres)
    "${psql[@]}" -d postgres -c "create role $TEST_USER superuser login" \
        -c "create role $SECRET_USER login password '$SECRET_PASSWORD'" \
        -c "create database $TEST_DATABASE owner $TEST_USER" >/dev/null ||
        die "could not create the test role and database"
    "${psql[@]}" -d "$TEST_DATABASE" -c "create extension if not exists citext" >/dev/null ||
        die "could not create the citext extension"

    cat >"$env_file" <<EOF
PGHOST=127.0.0.1
PGPORT=$port
PGUSER=$TEST_USER
PGDATABASE=$TEST_DATABASE
PGDATA=$data
PGROOT=$root
EOF
}

stop() {
    local dir=$1 env_file=$1/pg.env
    [[ -f $env_file ]] || return 0
    local PGDATA PGROOT
    # shellcheck disable=SC1090
    source "$env_file"
    if [[ -d $PGDATA ]]; then
        as_owner "$BINDIR/pg_ctl" stop -D "$PGDATA" -m immediate -w >/dev/null 2>&1 || true
    fi
    if [[ $PGROOT == /tmp/kvz-pgtest.* ]]; then
        rm -rf "$PGROOT"
    fi
    rm -f "$env_file"
}

[[ $# -eq 2 ]] || die "usage: $0 start|stop DIR"
BINDIR=$(find_bindir)
readonly BINDIR
case $1 in
start) start "$2" ;;
stop) stop "$2" ;;
*) die "unknown command '$1' (start or stop)" ;;
esac
