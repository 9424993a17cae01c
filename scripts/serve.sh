#!/usr/bin/env bash
# Installs what is missing, builds the account service and starts it on a loopback port
# with a local data folder. Unless SMTP is configured (TARN_SMTP_HOST), a local mail sink
# takes the reminder mails and keeps them as files.
#
#   bash scripts/serve.sh                 port 8080, data in service-data/
#   TARN_PORT=9000 TARN_CONFIG=/etc/tarn-account.conf bash scripts/serve.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}/server
data=${TARN_DATA_DIR:-$root/service-data}
"$root/scripts/install-deps.sh"
"$root/scripts/build-server.sh"
mkdir -p "$data"
export TARN_DATABASE=${TARN_DATABASE:-$data/accounts.db}
export TARN_LISTEN=${TARN_LISTEN:-127.0.0.1} TARN_PORT=${TARN_PORT:-8080}

if [ -z "${TARN_SMTP_HOST:-}" ]; then
  export TARN_SMTP_HOST=127.0.0.1 TARN_SMTP_PORT=${TARN_SMTP_PORT:-8025}
  /usr/bin/python3 -m aiosmtpd -n -l "127.0.0.1:$TARN_SMTP_PORT" -c aiosmtpd.handlers.Mailbox "$data/mail" &
  sink=$!
  trap 'kill "$sink" 2>/dev/null' EXIT
  echo "No SMTP server configured: mails are kept as files in $data/mail/new"
fi
echo "Add an account:  TARN_DATABASE=$TARN_DATABASE $build/tarn-account-admin add you@example.com"
echo "Build the program for it:  bash scripts/build.sh -DTARN_SERVICE_HOST=$TARN_LISTEN -DTARN_SERVICE_PORT=$TARN_PORT"
"$build/tarn-account-service" ${TARN_CONFIG:+--config "$TARN_CONFIG"}
