# Sourced by scripts/test and scripts/bench: a private PostgreSQL 15 cluster in a temporary
# folder on a free loopback port, stopped when the calling script exits. Sets the
# ORVANE_PG_* variables the tests and benchmarks read.

start_private_pg() {
    pg_work=$(mktemp -d /tmp/orvane-pg.XXXXXX)
    local pgbin=/usr/lib/postgresql/15/bin
    pg_as=()
    if [[ $(id -u) -eq 0 ]]; then
        chown postgres: "$pg_work"
        pg_as=(runuser -u postgres --)
    fi
    chmod 755 "$pg_work"
    trap stop_private_pg EXIT

    local port p
    for _ in $(seq 1 50); do
        p=$((20000 + RANDOM % 40000))
        (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null || { port=$p; break; }
    done
    [[ -n "${port:-}" ]] || { echo "no free loopback port" >&2; return 1; }

    "${pg_as[@]}" "$pgbin/initdb" -D "$pg_work/pg" -U postgres -A trust -E UTF8 --locale=C.UTF-8 \
        >"$pg_work/initdb.log" 2>&1 || { cat "$pg_work/initdb.log"; return 1; }
    # One role must log in with a real password, for the login tests.
    printf 'host all orvane_login 127.0.0.1/32 scram-sha-256\n%s\n' "$(cat "$pg_work/pg/pg_hba.conf")" \
        >"$pg_work/hba.tmp" && "${pg_as[@]}" cp "$pg_work/hba.tmp" "$pg_work/pg/pg_hba.conf"
    "${pg_as[@]}" "$pgbin/pg_ctl" -D "$pg_work/pg" -l "$pg_work/pg.log" -w -t 60 \
        -o "-c listen_addresses=127.0.0.1 -p $port -k $pg_work -c fsync=off" start >/dev/null \
        || { cat "$pg_work/pg.log"; return 1; }
    local psql_pg=(psql -h 127.0.0.1 -p "$port" -U postgres -v ON_ERROR_STOP=1 -q -d postgres)
    "${psql_pg[@]}" -c "CREATE DATABASE orvane_test" || return 1
    "${psql_pg[@]}" -c "CREATE ROLE orvane_login LOGIN SUPERUSER PASSWORD 'Orv-7f3k-pw'" || return 1

    export ORVANE_PG_HOST=127.0.0.1 ORVANE_PG_PORT=$port ORVANE_PG_USER=postgres
    export ORVANE_PG_DATABASE=orvane_test ORVANE_PG_BIN=$pgbin
    export ORVANE_PG_LOGIN_USER=orvane_login ORVANE_PG_LOGIN_PASSWORD='Orv-7f3k-pw'
}

stop_private_pg() {
    [[ -n "${pg_work:-}" ]] || return 0
    "${pg_as[@]}" /usr/lib/postgresql/15/bin/pg_ctl -D "$pg_work/pg" -m immediate stop >/dev/null 2>&1
    rm -rf "$pg_work"
    pg_work=
}
