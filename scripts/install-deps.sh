#!/usr/bin/env bash
# Installs whatever the build and the tests need and the machine lacks (Debian 12, as root).
set -eu
packages="g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine xvfb xdotool imagemagick
  fonts-wqy-microhei locales-all rapidjson-dev googletest cmake ninja-build python3 nsis zip
  g++ pkg-config libsqlite3-dev libcurl4-openssl-dev libsodium-dev python3-aiosmtpd libboost-dev nginx-light wrk
  postgresql libpq-dev python3-prometheus-client clang-14 libclang-rt-14-dev
  chromium chromium-driver python3-selenium libkainjow-mustache-dev"
# One query for all of them: a run with everything present takes a fraction of a second.
installed=" $(dpkg-query -W -f='${Package} ${Status}\n' $packages 2>/dev/null | awk '/ ok installed$/ {printf "%s ", $1}')"
missing=""
for p in $packages; do
  case $installed in *" $p "*) ;; *) missing="$missing $p" ;; esac
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # nginx-light and postgresql are for the benchmark and the tests, which start servers of
  # their own: the packages' services must not start on install (policy-rc.d answers "not
  # allowed").
  policy=""
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d && chmod +x /usr/sbin/policy-rc.d && policy=1
  fi
  apt-get install -y -qq --no-install-recommends $missing >/dev/null
  [ -z "$policy" ] || rm -f /usr/sbin/policy-rc.d
fi
# No default site: a system nginx started anyway (an older install) is stopped, and its
# default site is removed so that a later start serves nothing.
if [ -e /etc/nginx/sites-enabled/default ]; then
  rm -f /etc/nginx/sites-enabled/default
  [ -s /run/nginx.pid ] && kill -0 "$(cat /run/nginx.pid)" 2>/dev/null && nginx -s quit 2>/dev/null || true
fi
# The same for PostgreSQL: a cluster the package made and something started is stopped,
# and set to start only by hand.
if command -v pg_lsclusters >/dev/null; then
  pg_lsclusters --no-header 2>/dev/null | while read -r version cluster _ status _; do
    case $status in online*) pg_ctlcluster "$version" "$cluster" stop -m fast || true ;; esac
    conf=/etc/postgresql/$version/$cluster/start.conf
    if [ -e "$conf" ] && [ "$(grep -v '^#' "$conf" | tr -d '[:space:]')" != manual ]; then echo manual >"$conf"; fi
  done
fi
