#!/usr/bin/env bash
# Measures the account service beside nginx: getInfo requests per second with each server
# held to core 0 (taskset) and the load generator on core 1, one new connection per request
# as the program makes them, on a SQLite file and on PostgreSQL, and two instances on
# PostgreSQL, each held to a core of its own, with the load spread over both; the same with
# the memory of signed-in machines turned off, and for an address without an account and a
# machine not signed in; the service's memory with 10 000 idle connections open; sign-ins
# per second, alone and while they flood the service; and a provider's outage: reminders
# from many machines at once, on SQLite and on two instances on PostgreSQL, until every
# mail has reached a local SMTP sink.
#
#   bash scripts/bench-server.sh [seconds per run (default 10)] [connections (default 16)]
#
# The outage's size: OUTAGE_MACHINES (2000) machines, OUTAGE_REMINDERS (10) reminders each,
# OUTAGE_CONNECTIONS (64) at a time.
#
# nginx (Debian's nginx-light) is started with a configuration of its own on a loopback port,
# answering every request with the service's own getInfo reply (same bytes, so the same size),
# and stopped at the end; so is a PostgreSQL server (Debian's PostgreSQL 15, a data folder of
# its own, a loopback port, run as the postgres user when this runs as root, since it refuses
# root), which is not held to a core. SERVICE_BUILD=DIR measures the service built in DIR
# instead (an older build, for a before and after).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/bench-service-head.sh" "$root" tarn-account-bench "$@"
loadpin=$pin1  # where the load generator runs
# Throttling would turn the measured sign-ins away: lift it for the measurement.
export TARN_LOGIN_ATTEMPTS_PER_ADDRESS=1000000 TARN_LOGIN_FAILURES_PER_ACCOUNT=100000
"$build/tarn-account-admin" notice "本周六凌晨服务器维护两小时" >/dev/null
$pin0 "$service_build/tarn-account-service" 2>/dev/null &
service=$!
nginx_pid="" pg_services="" sink="" pg_bin=/usr/lib/postgresql/15/bin pg_data=$work/pg
as_postgres() { if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
cleanup() {
  kill "$service" $pg_services $nginx_pid $sink 2>/dev/null
  wait
  if [ -f "$pg_data/postmaster.pid" ]; then as_postgres "$pg_bin/pg_ctl" -D "$pg_data" -m immediate stop >/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
wait_port "$port"

# PostgreSQL with its default settings, and two instances of the service on one database of
# it: the first on core 0 (alone it gives the one-core figure), the second on core 1.
chmod 755 "$work"
mkdir "$pg_data"
if [ "$(id -u)" = 0 ]; then chown postgres: "$pg_data"; fi
pg_port=$(free_port)
as_postgres "$pg_bin/initdb" -D "$pg_data" -A trust -U postgres -E UTF8 --no-locale >/dev/null
as_postgres "$pg_bin/pg_ctl" -D "$pg_data" -w -l "$pg_data/log" \
  -o "-p $pg_port -k $pg_data -c listen_addresses=127.0.0.1" start >/dev/null
as_postgres "$pg_bin/createdb" -h 127.0.0.1 -p "$pg_port" -U postgres bench
pg_database=postgresql://postgres@127.0.0.1:$pg_port/bench
printf 'bench-pass\n' | TARN_DATABASE=$pg_database "$build/tarn-account-admin" add bench@load.test >/dev/null
TARN_DATABASE=$pg_database "$build/tarn-account-admin" notice "本周六凌晨服务器维护两小时" >/dev/null
pg_port0=$(free_port) pg_port1=$(free_port)
TARN_DATABASE=$pg_database TARN_PORT=$pg_port0 $pin0 "$service_build/tarn-account-service" 2>/dev/null &
pg_service0=$!
TARN_DATABASE=$pg_database TARN_PORT=$pg_port1 $pin1 "$service_build/tarn-account-service" 2>/dev/null &
pg_service1=$!
# One more instance of each on core 0 that looks up every getInfo in the database: how
# long a lookup itself takes, beside the answers from the memory of signed-in machines.
uncached_port=$(free_port) pg_uncached_port=$(free_port)
TARN_SIGNED_IN_CACHE_SECONDS=0 TARN_PORT=$uncached_port $pin0 "$service_build/tarn-account-service" 2>/dev/null &
uncached=$!
TARN_SIGNED_IN_CACHE_SECONDS=0 TARN_DATABASE=$pg_database TARN_PORT=$pg_uncached_port $pin0 \
  "$service_build/tarn-account-service" 2>/dev/null &
pg_uncached=$!
pg_services="$pg_service0 $pg_service1 $uncached $pg_uncached"
for p in "$pg_port0" "$pg_port1" "$uncached_port" "$pg_uncached_port"; do wait_port "$p"; done

rss() { awk -v key="$1:" '$1 == key { print $2 " kB" }' "/proc/$service/status"; }
pwd64=$(printf 'bench-pass' | base64)
# Who asks: the account and machine signed in (by default), or LOAD_USER and LOAD_MACHINE.
load() {
  $loadpin "$build/tarn-account-load" "$1" "$2" "$3" "$4" "${LOAD_USER:-bench@load.test}" "$pwd64" \
    "${LOAD_MACHINE:-BENCH-MACHINE}"
}

echo "service pid $service on core 0 ($pin0), load on core 1, $(nproc) cores, $connections connections, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "memory at rest: $(rss VmRSS)"
load "$port" login 1 1 >/dev/null   # signs the machine in, so getInfo answers status 1
load "$pg_port0" login 1 1 >/dev/null
# The uncached instances' own first answers (a prepared statement of each connection).
load "$uncached_port" getInfo 1 1 >/dev/null
load "$pg_uncached_port" getInfo 1 1 >/dev/null

# nginx answers with the bytes of the service's own getInfo reply.
body=$(/usr/bin/python3 - "$port" <<'PY'
import socket, sys
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
b = b"username=bench@load.test&id=BENCH-MACHINE&softtype=2&ver=1.1.0.2"
s.sendall(b"POST /index.php?g=Api&m=Client&a=getInfo HTTP/1.0\r\nContent-Length: %d\r\n\r\n" % len(b) + b)
r = b""
while chunk := s.recv(4096): r += chunk
sys.stdout.write(r.split(b"\r\n\r\n", 1)[1].decode())
PY
)
private_nginx_conf "$work/nginx" <<CONF
  server {
    listen 127.0.0.1:$nginx_port;
    location / {
      default_type "application/json; charset=utf-8";
      return 200 '$(printf '%s' "$body" | sed "s/[\\\\']/\\\\&/g")';
    }
  }
CONF
$pin0 nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" &
nginx_pid=$!
wait_port "$nginx_port"
echo "reply body: ${#body} characters from both"

# Two rounds, alternating, so all see the same state of the machine. Besides the rate, the
# CPU time the servers themselves spent per request (user and system, from /proc), and for
# PostgreSQL that of all its processes: on a machine shared with other work the rate follows
# the others' load, the CPU per request much less.
ticks() {  # the CPU ticks of the processes given, summed
  local pid sum=0
  for pid in "$@"; do sum=$((sum + $(awk '{ print $14 + $15 }' "/proc/$pid/stat" 2>/dev/null || echo 0))); done
  echo "$sum"
}
postgres_pids() {  # the postmaster and every process it started
  local postmaster
  postmaster=$(head -1 "$pg_data/postmaster.pid")
  echo "$postmaster $(ps -o pid= --ppid "$postmaster")"
}
per_request() {  # name what ticks line
  echo "$4" | awk -v t="$3" -v hz="$(getconf CLK_TCK)" -v name="$1" -v what="$2" '{
    n = $2; us = t / hz / n * 1e6
    printf "%s: %s %.0f us of CPU per request, so about %.0f/s on a whole core\n", name, what, us, 1e6 / us }'
}
measure() {  # name port "server pids" [postgresql]; LOAD_USER and LOAD_MACHINE as for load
  local before after pg_before=0 pg_after=0 line
  before=$(ticks $3)
  if [ -n "${4:-}" ]; then pg_before=$(ticks $(postgres_pids)); fi
  line=$(load "$2" getInfo "$seconds" "$connections")
  after=$(ticks $3)
  if [ -n "${4:-}" ]; then pg_after=$(ticks $(postgres_pids)); fi
  echo "$line" | sed "s/^getInfo:/$1:/"
  per_request "$1" "server" $((after - before)) "$line"
  if [ -n "${4:-}" ]; then per_request "$1" "PostgreSQL" $((pg_after - pg_before)) "$line"; fi
}
for round in 1 2; do
  measure "service getInfo, SQLite, one core (round $round)" "$port" "$service"
  measure "service getInfo, SQLite, each looked up (round $round)" "$uncached_port" "$uncached"
  LOAD_USER=nobody@load.test measure "service getInfo, SQLite, address without account (round $round)" \
    "$port" "$service"
  LOAD_MACHINE=OTHER-MACHINE measure "service getInfo, SQLite, machine not signed in (round $round)" \
    "$port" "$service"
  measure "service getInfo, PostgreSQL, one core (round $round)" "$pg_port0" "$pg_service0" postgresql
  measure "service getInfo, PostgreSQL, each looked up (round $round)" "$pg_uncached_port" "$pg_uncached" postgresql
  LOAD_USER=nobody@load.test measure "service getInfo, PostgreSQL, address without account (round $round)" \
    "$pg_port0" "$pg_service0" postgresql
  LOAD_MACHINE=OTHER-MACHINE measure "service getInfo, PostgreSQL, machine not signed in (round $round)" \
    "$pg_port0" "$pg_service0" postgresql
  # Each instance on its own core; the load generator and PostgreSQL go where there is room.
  loadpin=$unpinned
  measure "service getInfo, PostgreSQL, two instances (round $round)" "$pg_port0,$pg_port1" \
    "$pg_service0 $pg_service1" postgresql
  loadpin=$pin1
  measure "nginx fixed reply (round $round)" "$nginx_port" "$nginx_pid"
done
echo "memory after getInfo load: $(rss VmRSS) (peak $(rss VmHWM))"
kill "$nginx_pid" $pg_services; wait "$nginx_pid" $pg_services 2>/dev/null || true; nginx_pid="" pg_services=""

# 10 000 idle connections (50 from each of 200 loopback addresses), held for 8 s: under the
# service's 10 s request deadline. getInfo is measured while they are open.
$pin1 "$build/tarn-account-load" "$port" idle 8 10000 >"$work/idle" &
idle=$!
for _ in $(seq 200); do grep -q '^open' "$work/idle" && break; sleep 0.05; done
sleep 0.5
echo "idle connections: $(cat "$work/idle"); service memory with them open: $(rss VmRSS)"
load "$port" getInfo 2 "$connections" | sed 's/^getInfo:/getInfo beside 10 000 idle connections:/'
wait "$idle" || true
echo "memory after the idle connections: $(rss VmRSS) (peak $(rss VmHWM))"

# As many sign-ins at once as the service checks passwords at once (2 by default).
load "$port" login "$seconds" 2
echo "memory after login load: $(rss VmRSS) (peak $(rss VmHWM))"
# The cheap requests while sign-ins flood the service.
load "$port" login "$seconds" "$connections" >"$work/flood" &
flood=$!
load "$port" getInfo "$seconds" "$connections" | sed 's/^getInfo:/getInfo during a sign-in flood:/'
wait "$flood" || true
sed 's/^login:/the sign-in flood itself:/' "$work/flood"
echo "memory after the flood: $(rss VmRSS) (peak $(rss VmHWM))"

# A provider's outage takes many owners' sites down at once: every machine sends its
# reminders as fast as the service takes them, and each instance's mail sender delivers them
# into a local SMTP sink (aiosmtpd, writing a maildir). The check reads every mail back.
outage_machines=${OUTAGE_MACHINES:-2000} outage_reminders=${OUTAGE_REMINDERS:-10}
outage_connections=${OUTAGE_CONNECTIONS:-64}
outage() {  # name "database" "port,port..." "service pids"
  local started accepted line before after
  "$build/tarn-account-seed" "$2" "$outage_machines"
  before=$(ticks $4 $sink)
  started=$(date +%s.%N)
  line=$($loadpin "$build/tarn-account-load" "$3" outage "$outage_machines" "$outage_reminders" "$outage_connections")
  accepted=$(date +%s.%N)
  echo "$line" | sed "s/^sendMsg:/$1, reminders:/"
  /usr/bin/python3 "$root/server/bench/outage_mail_check.py" "$work/mail" "$outage_machines" "$outage_reminders" \
    "$started" "$accepted" 30 | sed "s/^/$1, /" || true
  after=$(ticks $4 $sink)
  echo "$1: CPU of the services and the sink from the first reminder to the check: $(( (after - before) / $(getconf CLK_TCK) )) s"
}
start_sink() {
  rm -rf "$work/mail"
  smtp_port=$(free_port)
  /usr/bin/python3 -m aiosmtpd -n -l "127.0.0.1:$smtp_port" -c aiosmtpd.handlers.Mailbox "$work/mail" &
  sink=$!
  wait_port "$smtp_port"
}
export TARN_MAIL_HOURLY_LIMIT=$((outage_reminders > 30 ? outage_reminders : 30))
echo "outage: $outage_machines machines, $outage_reminders reminders each, $outage_connections at a time, load average $(cut -d' ' -f1-3 /proc/loadavg)"
start_sink
outage_port=$(free_port)
# The service starts on an empty file; the accounts are added beside it.
TARN_DATABASE=$work/outage.db TARN_PORT=$outage_port TARN_SMTP_PORT=$smtp_port $pin0 \
  "$service_build/tarn-account-service" 2>/dev/null &
outage_service=$!
pg_services=$outage_service
wait_port "$outage_port"
outage "outage, SQLite, one core" "$work/outage.db" "$outage_port" "$outage_service"
kill "$outage_service" "$sink"; wait "$outage_service" "$sink" 2>/dev/null || true; sink=""

start_sink
as_postgres "$pg_bin/createdb" -h 127.0.0.1 -p "$pg_port" -U postgres outage
outage_database=postgresql://postgres@127.0.0.1:$pg_port/outage
outage_port0=$(free_port) outage_port1=$(free_port)
TARN_DATABASE=$outage_database TARN_PORT=$outage_port0 TARN_SMTP_PORT=$smtp_port $pin0 \
  "$service_build/tarn-account-service" 2>/dev/null &
outage_service0=$!
TARN_DATABASE=$outage_database TARN_PORT=$outage_port1 TARN_SMTP_PORT=$smtp_port $pin1 \
  "$service_build/tarn-account-service" 2>/dev/null &
outage_service1=$!
pg_services="$outage_service0 $outage_service1"
wait_port "$outage_port0"
wait_port "$outage_port1"
loadpin=$unpinned
outage "outage, PostgreSQL, two instances" "$outage_database" "$outage_port0,$outage_port1" "$pg_services"
kill $pg_services "$sink"; wait $pg_services "$sink" 2>/dev/null || true; pg_services="" sink=""
