#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Every companion and the simulator answer --help and --version on standard output with exit
# status 0; "zk32-sim ctl help" lists the control commands without a simulator; each manual
# page names every long option its program's help names, every zk32-sim verb and every
# control command; and no page renders a cross-reference list as stray prototypes.
#   help_and_pages.sh BIN_DIR MAN_DIR
set -uo pipefail
bin=$1
man=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
export ZK32_SIM_DIR="$work/none"

for command in orvane-check orvane-monitor orvane-gang dnusb-list zk32-sim; do
  "$bin/$command" --help >"$work/help" 2>"$work/err"
  status=$?
  [ $status = 0 ] && [ -s "$work/help" ] && [ ! -s "$work/err" ] ||
    fail "$command --help: exit $status, $(wc -c <"$work/help") bytes out, $(cat "$work/err")"
  version=$("$bin/$command" --version 2>&1)
  [[ $version =~ ^$command\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "$command --version: $version"
  page="$man/$command.1"
  [ -f "$page" ] || { fail "no page $command.1"; continue; }
  for option in $(grep -o -- '--[a-z][a-z-]*' "$work/help" | sort -u); do
    grep -Eq "^\.(It|Op|Fl).*Fl \\\\?-${option#--}( |$)" "$page" ||
      fail "$command.1 does not name $option"
  done
done

"$bin/zk32-sim" ctl help >"$work/ctl" 2>"$work/err" || fail "zk32-sim ctl help: $(cat "$work/err")"
commands=$(awk '/^  [a-z]/ { print $1 }' "$work/ctl")
[ "$(echo "$commands" | wc -w)" -ge 20 ] || fail "ctl help lists only: $commands"
for command in $commands; do
  grep -Eq "Cm $command( |$)" "$man/zk32-sim.1" || fail "zk32-sim.1 does not list $command"
done
for verb in start run stop ctl decode replay; do
  sed -n '/^\.Sh SYNOPSIS/,/^\.Sh DESCRIPTION/p' "$man/zk32-sim.1" | grep -q "Cm $verb" ||
    fail "the synopsis of zk32-sim.1 lacks $verb"
done

# A list of functions set with .Fn in a synopsis renders one "Name();," per line.
for page in "$man"/*.[1-9]; do
  MANWIDTH=80 man -l "$page" 2>/dev/null | grep -Eq '^ +[A-Za-z_0-9]+\(\);,?$' &&
    fail "$(basename "$page") renders stray prototypes"
done

[ $failures = 0 ] || exit 1
echo "PASS: --help and --version of every companion and zk32-sim; pages agree"
