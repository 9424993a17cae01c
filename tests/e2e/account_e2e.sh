#!/usr/bin/env bash
# Runs the account end-to-end test: starts a mail sink and the real account service, with
# a fresh database (one account, one notice), on the port the test build of the program
# talks to; runs the Windows test under Wine, and stops everything it started.
#
#   account_e2e.sh SERVICE_BUILD_DIR TEST_EXE WINE_PREFIX PORT
set -eu
server=$1 test_exe=$2 prefix=$3 port=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
for tool in tarn-account-service tarn-account-admin; do
  [ -x "$server/$tool" ] || { echo "missing $server/$tool: run scripts/build-server.sh" >&2; exit 1; }
done

work=$(mktemp -d /tmp/tarn-account-e2e-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
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

smtp_port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
export TARN_DATABASE=$work/accounts.db TARN_LISTEN=127.0.0.1 TARN_PORT=$port
export TARN_SMTP_HOST=127.0.0.1 TARN_SMTP_PORT=$smtp_port TARN_SMTP_SENDER=monitor@service.test
/usr/bin/python3 -m aiosmtpd -n -l "127.0.0.1:$smtp_port" -c aiosmtpd.handlers.Mailbox "$work/mail" &
pids+=($!)
wait_for_port "$smtp_port"

export TARN_E2E_USER=owner@site.test TARN_E2E_PASSWORD='pass+word=1' TARN_E2E_NOTICE='本周六凌晨服务器维护两小时'
printf '%s\n' "$TARN_E2E_PASSWORD" | "$server/tarn-account-admin" add "$TARN_E2E_USER" >/dev/null
"$server/tarn-account-admin" notice "$TARN_E2E_NOTICE" >/dev/null
# A test that ran just before may leave connections on the port for a while, and the
# service cannot bind it until they are gone: start it again until it listens.
service=""
for _ in $(seq 60); do
  "$server/tarn-account-service" 2>>"$work/service.log" &
  service=$!
  pids+=($service)
  while kill -0 "$service" 2>/dev/null && ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do sleep 0.05; done
  kill -0 "$service" 2>/dev/null && break
  sleep 1
done
kill -0 "$service" 2>/dev/null || { cat "$work/service.log" >&2; exit 1; }

export TARN_E2E_MAIL_DIR="Z:$(echo "$work/mail/new" | tr / '\\')"
status=0
"$root/scripts/wine-run.sh" --prefix "$prefix" "$test_exe" || status=$?
echo "--- service log"
cat "$work/service.log"
exit $status
