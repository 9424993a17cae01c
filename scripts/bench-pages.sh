#!/usr/bin/env bash
# Measures the account service's web pages beside nginx: the home page and a signed-in
# account page per second with each server held to core 0 (taskset) and wrk on core 1, one
# new connection per request (the service closes every connection after its reply, so
# nginx is asked to do the same), on a SQLite file. nginx (Debian's nginx-light) serves the
# home page's very bytes as a static file from a configuration of its own on a loopback
# port; both are stopped at the end.
#
#   bash scripts/bench-pages.sh [seconds per run (default 10)] [connections (default 16)]
#
# SERVICE_BUILD=DIR measures the service built in DIR instead (as bench-server.sh does).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/bench-service-head.sh" "$root" tarn-pages-bench "$@"
export TARN_PUBLIC_URL=http://127.0.0.1:$port
$pin0 "$service_build/tarn-account-service" 2>/dev/null &
service=$! nginx_pid=""
cleanup() { kill "$service" $nginx_pid 2>/dev/null; wait; rm -rf "$work"; }
trap cleanup EXIT
wait_port "$port"

# A session as a browser on this machine gets one: the form token in cookie and field.
csrf=$(printf 'B%.0s' $(seq 43))
session=$(curl -s -o /dev/null -D - -b "csrf=$csrf" -H 'Sec-Fetch-Site: same-origin' \
  --data "csrf=$csrf&email=bench@load.test&password=bench-pass" "http://127.0.0.1:$port/signin" |
  sed -n 's/^Set-Cookie: \(session=[^;]*\);.*/\1/p')
[ -n "$session" ] || { echo "could not sign in" >&2; exit 1; }

mkdir "$work/www"
curl -s "http://127.0.0.1:$port/" >"$work/www/index.html"
private_nginx_conf "$work/nginx" <<CONF
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/www;
    default_type "text/html; charset=utf-8";
  }
CONF
$pin0 nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" &
nginx_pid=$!
wait_port "$nginx_port"
echo "home page $(wc -c <"$work/www/index.html") bytes from both; account page $(curl -s -b "$session" "http://127.0.0.1:$port/account" | wc -c) bytes"
echo "servers on core 0, wrk on core 1, $connections connections, load average $(cut -d' ' -f1-3 /proc/loadavg)"

rate() {  # name url [cookie]
  local extra=()
  [ -z "${3:-}" ] || extra=(-H "Cookie: $3")
  $pin1 wrk -t1 -c"$connections" -d"${seconds}s" -H 'Connection: close' "${extra[@]}" "$2" |
    awk -v name="$1" '/Requests\/sec/ { rate = $2 } /Non-2xx/ { bad = $5 } END { printf "%s: %.0f/s%s\n", name, rate, bad ? " (" bad " not 2xx)" : "" }'
}
for round in 1 2; do
  rate "service home page (round $round)" "http://127.0.0.1:$port/"
  rate "nginx static home page (round $round)" "http://127.0.0.1:$nginx_port/"
  rate "service account page, signed in (round $round)" "http://127.0.0.1:$port/account" "csrf=$csrf; $session"
done
