#!/usr/bin/env bash
# Measures the account service: getInfo and login requests per second with the service
# held to one core (taskset) and the load generator on the other, one new connection per
# request as the program makes them, and the service's memory at rest and under load.
#
#   bash scripts/bench-server.sh [seconds per run (default 10)] [connections (default 16)]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}/server
seconds=${1:-10}
connections=${2:-16}
"$root/scripts/install-deps.sh"
"$root/scripts/build-server.sh" >/dev/null
command -v taskset >/dev/null || { echo "taskset (util-linux) is needed" >&2; exit 1; }

work=$(mktemp -d /tmp/tarn-account-bench-XXXXXX)
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
export TARN_DATABASE=$work/accounts.db TARN_PORT=$port TARN_SMTP_PORT=9
# Throttling would turn the measured sign-ins away: lift it for the measurement.
export TARN_LOGIN_ATTEMPTS_PER_ADDRESS=1000000 TARN_LOGIN_FAILURES_PER_ACCOUNT=100000
printf 'bench-pass\n' | "$build/tarn-account-admin" add bench@load.test >/dev/null
"$build/tarn-account-admin" notice "本周六凌晨服务器维护两小时" >/dev/null
taskset -c 0 "$build/tarn-account-service" 2>/dev/null &
service=$!
trap 'kill "$service" 2>/dev/null; wait; rm -rf "$work"' EXIT
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.05; done

rss() { awk -v key="$1:" '$1 == key { print $2 " kB" }' "/proc/$service/status"; }
pwd64=$(printf 'bench-pass' | base64)
load() { taskset -c 1 "$build/tarn-account-load" "$port" "$1" "$2" "$3" bench@load.test "$pwd64" BENCH-MACHINE; }

echo "service pid $service on core 0, load on core 1, $(nproc) cores, $connections connections"
echo "memory at rest: $(rss VmRSS)"
load login 1 1 >/dev/null   # signs the machine in, so getInfo answers status 1
load getInfo "$seconds" "$connections"
echo "memory after getInfo load: $(rss VmRSS) (peak $(rss VmHWM))"
# As many sign-ins at once as the service checks passwords at once (2 by default).
load login "$seconds" 2
echo "memory after login load: $(rss VmRSS) (peak $(rss VmHWM))"
# The cheap requests while sign-ins flood the service.
load login "$seconds" "$connections" >"$work/flood" &
flood=$!
load getInfo "$seconds" "$connections" | sed 's/^getInfo:/getInfo during a sign-in flood:/'
wait "$flood" || true
sed 's/^login:/the sign-in flood itself:/' "$work/flood"
echo "memory after the flood: $(rss VmRSS) (peak $(rss VmHWM))"
