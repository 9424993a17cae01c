#!/usr/bin/env bash
# Runs the account end-to-end test: starts a mail sink and the real account service, with
# a fresh database (one account, one notice), on the port the test build of the program
# talks to; runs the Windows test under Wine, and stops everything it started. The account
# also has two chat-robot channels, to a WeCom-shaped receiver and a signing DingTalk-shaped
# one on 127.0.0.1 (the service's vendor hosts pointed at them); each receiver keeps what it
# accepts in a file of its own in the folder TARN_E2E_CHANNEL_DIR names.
#
#   account_e2e.sh SERVICE_BUILD_DIR TEST_EXE WINE_PREFIX PORT [split]
#
# With "split", a private PostgreSQL holds the database of two instances of the service, each
# on a port of its own, and nginx on PORT sends sign-ins to the first and every other request
# to the second; the test for that setup runs instead.
set -eu
server=$1 test_exe=$2 prefix=$3 port=$4 mode=${5:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/private-nginx.sh"
for tool in tarn-account-service tarn-account-admin; do
  [ -x "$server/$tool" ] || { echo "missing $server/$tool: run scripts/build-server.sh" >&2; exit 1; }
done

work=$(mktemp -d /tmp/tarn-account-e2e-XXXXXX)
pids=()
postgres=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ ${#postgres[@]} = 0 ] || (cd "$work" && "${postgres[@]}" pg_ctl -D "$work/pg" -m immediate stop >/dev/null 2>&1) || true
  rm -rf "$work"
}
trap cleanup EXIT

wait_for_port() {
  for _ in $(seq 600); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.05
  done
  echo "nothing listens on port $1" >&2
  return 1
}

# The program's test build talks to this port: another server there would answer instead.
if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
  echo "port $port is taken: the test build of the program would not reach this test's service" >&2
  exit 1
fi

free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
smtp_port=$(free_port)
export TARN_DATABASE=$work/accounts.db TARN_LISTEN=127.0.0.1 TARN_PORT=$port
export TARN_SMTP_HOST=127.0.0.1 TARN_SMTP_PORT=$smtp_port TARN_SMTP_SENDER=monitor@service.test
/usr/bin/python3 -m aiosmtpd -n -l "127.0.0.1:$smtp_port" -c aiosmtpd.handlers.Mailbox "$work/mail" &
pids+=($!)
wait_for_port "$smtp_port"

if [ "$mode" = split ]; then
  # PostgreSQL refuses to run as root: as root, its tools run as the postgres user, which
  # must be able to enter this folder and own the data folder.
  [ "$(id -u)" = 0 ] && postgres=(runuser -u postgres --) || postgres=()
  postgres+=(env PATH=/usr/lib/postgresql/15/bin:$PATH)
  chmod 755 "$work"
  mkdir -m 700 "$work/pg"
  [ "$(id -u)" = 0 ] && chown postgres: "$work/pg"
  pg_port=$(free_port)
  (cd "$work" && "${postgres[@]}" initdb -D "$work/pg" -A trust -U postgres -E UTF8 --no-locale --no-sync >/dev/null &&
    "${postgres[@]}" pg_ctl -D "$work/pg" -w -l "$work/pg/log" start \
      -o "-p $pg_port -k $work/pg -c listen_addresses=127.0.0.1 -c fsync=off" >/dev/null &&
    "${postgres[@]}" createdb -h 127.0.0.1 -p "$pg_port" -U postgres accounts)
  export TARN_DATABASE=postgresql://postgres@127.0.0.1:$pg_port/accounts TARN_TRUST_PROXY=127.0.0.1
fi

export TARN_E2E_USER=owner@site.test TARN_E2E_PASSWORD='pass+word=1' TARN_E2E_NOTICE='本周六凌晨服务器维护两小时'
printf '%s\n' "$TARN_E2E_PASSWORD" | "$server/tarn-account-admin" add "$TARN_E2E_USER" >/dev/null
"$server/tarn-account-admin" notice "$TARN_E2E_NOTICE" >/dev/null
# Starts the service on TARN_PORT, logging to $1. A test that ran just before may leave
# connections on the port for a while, and the service cannot bind it until they are gone:
# start it again until it listens.
start_service() {
  local service=""
  for _ in $(seq 60); do
    "$server/tarn-account-service" 2>>"$1" &
    service=$!
    pids+=($service)
    while kill -0 "$service" 2>/dev/null && ! (exec 3<>"/dev/tcp/127.0.0.1/$TARN_PORT") 2>/dev/null; do sleep 0.05; done
    kill -0 "$service" 2>/dev/null && return 0
    sleep 1
  done
  cat "$1" >&2
  return 1
}

# Starts a WeCom-shaped and a DingTalk-shaped receiver (the latter checking a signing secret)
# that log what they accept to $1/wecom.log and $1/dingtalk.log, points the service's vendor
# hosts at them and gives the account a channel to each.
add_robot_channels() {
  mkdir -p "$1"
  local kind port key secret
  while read -r kind key secret; do
    port=$(free_port)
    /usr/bin/python3 "$root/server/tests/channel_receiver.py" "$kind" "$port" "$key" "$secret" "$1/$kind.log" \
      </dev/null &
    pids+=($!)
    wait_for_port "$port"
    export "TARN_CHANNEL_${kind^^}_URL=http://127.0.0.1:$port"
    [ "$secret" = - ] && secret=
    printf '%s\n%s\n' "$key" "$secret" | "$server/tarn-account-admin" channels "$TARN_E2E_USER" add "$kind" >/dev/null
  done <<ROBOTS
wecom 5b2c8f0e-e2e0-4bc4-97a0-0ec2e2e0a5aa -
dingtalk e2e0d5c1token SECe2e0a1b2c3d4e5f6
ROBOTS
  # The robots' hosts are on the loopback here.
  export TARN_CHANNEL_ALLOW_PRIVATE=1 TARN_E2E_CHANNEL_DIR=$(windows_path "$1")
}

# Windows paths of files here, for the test under Wine.
windows_path() { echo "Z:$(echo "$1" | tr / '\\')"; }
logs=("$work/service.log")
tests=AccountEndToEnd.*
if [ "$mode" = split ]; then
  sign_in_port=$(free_port) other_port=$(free_port)
  logs=("$work/sign-in.log" "$work/other.log")
  TARN_PORT=$sign_in_port start_service "$work/sign-in.log"
  TARN_PORT=$other_port start_service "$work/other.log"
  private_nginx_conf "$work/nginx" <<CONF
  upstream sign_in { server 127.0.0.1:$sign_in_port; }
  upstream other { server 127.0.0.1:$other_port; }
  # The program names its request in the query: /index.php?g=Api&m=Client&a=login.
  map \$arg_a \$instance { login sign_in; default other; }
  server {
    listen 127.0.0.1:$port;
    location / {
      proxy_pass http://\$instance;
      proxy_set_header X-Forwarded-For \$proxy_add_x_forwarded_for;
    }
  }
CONF
  nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" &
  pids+=($!)
  wait_for_port "$port"
  export TARN_E2E_SIGN_IN_LOG=$(windows_path "$work/sign-in.log") TARN_E2E_OTHER_LOG=$(windows_path "$work/other.log")
  tests=AccountTwoInstancesEndToEnd.*
else
  add_robot_channels "$work/channels"
  start_service "$work/service.log"
fi

export TARN_E2E_MAIL_DIR=$(windows_path "$work/mail/new")
status=0
"$root/scripts/wine-run.sh" --prefix "$prefix" "$test_exe" --gtest_filter="$tests" || status=$?
for log in "${logs[@]}" "$work"/channels/*.log; do
  [ -f "$log" ] || continue
  echo "--- $(basename "$log")"
  cat "$log"
done
exit $status
