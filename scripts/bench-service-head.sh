# Sourced by the account service's benchmarks, with ROOT, a name for the work folder, and
# the benchmark's own arguments (seconds per run, default 10; connections, default 16):
#
#   . "$root/scripts/bench-service-head.sh" "$root" tarn-pages-bench "$@"
#
# Installs what is missing and builds the service (into $build); sets seconds and
# connections; pin0 and pin1, prefixes that hold a command to core 0 or core 1, and
# unpinned; free_port and wait_port; work, a fresh folder; port and nginx_port, free on the
# loopback, with TARN_DATABASE (a SQLite file in work), TARN_PORT and TARN_SMTP_PORT (9,
# nothing there) exported and the account bench@load.test (password bench-pass) added. It
# sources private-nginx.sh and raises the open-file limit. SERVICE_BUILD=DIR names another
# build of the service to measure ($service_build; the tools still come from $build).
build=${BUILD_DIR:-$1/build}/server
work_name=$2
seconds=${3:-10}
connections=${4:-16}
"$1/scripts/install-deps.sh"
. "$1/scripts/private-nginx.sh"
"$1/scripts/build-server.sh" >/dev/null
service_build=${SERVICE_BUILD:-$build}
command -v taskset >/dev/null || { echo "taskset (util-linux) is needed" >&2; exit 1; }
# On a machine shared with other work, the scheduler shares a core among threads, not
# programs: a server with eight threads would get more of core 0 than one with one. As root,
# the servers and the load generator run at nice -10, so the others' work hardly counts.
pin0="taskset -c 0" pin1="taskset -c 1" unpinned=""
if [ "$(id -u)" = 0 ]; then pin0="nice -n -10 $pin0" pin1="nice -n -10 $pin1" unpinned="nice -n -10"; fi

free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
wait_port() { for _ in $(seq 200); do (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0; sleep 0.05; done; return 1; }
work=$(mktemp -d "/tmp/$work_name-XXXXXX")
port=$(free_port) nginx_port=$(free_port)
export TARN_DATABASE=$work/accounts.db TARN_PORT=$port TARN_SMTP_PORT=9
printf 'bench-pass\n' | "$build/tarn-account-admin" add bench@load.test >/dev/null
ulimit -n "$(ulimit -Hn)"
