#!/bin/sh
# Installs the Debian 12 packages that building QIREdsUtil and running its tests need, only those
# that are missing, so a prepared machine needs neither the network nor root. --ci adds what the
# further checks of .ci/run need (sanitizer runtime, fuzzing, static checks, benchmarks, docs).
# Usage: tools/bootstrap.sh [--ci]
set -eu

# Build and test: compiler and CMake, libxml2 (with xmllint), the command-line parser,
# GoogleTest, the database clients with their servers for the schema tests, Graphviz and
# Python 3 (second readers of our output), pkg-config (the install test).
BASE="cmake g++ make pkg-config libxml2-dev libxml2-utils libcli11-dev
libgtest-dev libpq-dev libsqlite3-dev sqlite3 postgresql graphviz python3"
CI="clang libclang-rt-14-dev clang-tidy clang-format cppcheck libbenchmark-dev libpugixml-dev
libtinyxml2-dev doxygen"

packages=$BASE
case "${1:-}" in
  "") ;;
  --ci) packages="$BASE $CI" ;;
  -h | --help)
    sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
  *)
    echo "bootstrap: unknown option '$1' (only --ci)" >&2
    exit 2
    ;;
esac

missing=""
for package in $packages; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing="$missing $package"
done

if [ -z "$missing" ]; then
  echo "bootstrap: all packages present" >&2
  exit 0
fi
echo "bootstrap: installing$missing" >&2
if [ "$(id -u)" -ne 0 ]; then
  echo "bootstrap: installing packages needs root (run as root or with sudo)" >&2
  exit 1
fi
apt-get update
# shellcheck disable=SC2086 # one word per package
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
