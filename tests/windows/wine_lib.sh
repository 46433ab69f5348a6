# SPDX-License-Identifier: Apache-2.0
# Shared pieces of the Windows test scripts (sourced, not run).
#
# The caller sets WIN_BIN (a cross-build's bin directory: Orvane.exe, dnusb.dll, config.ini,
# writer/) and WINEPREFIX.  Results are counted in passed / failed; finish() prints the closing
# line "N passed, N failed" and returns non-zero when anything failed.

export WINEDEBUG=-all
# No Mono or Gecko installer prompts while the prefix is made or used.
export WINEDLLOVERRIDES="mscoree,mshtml="
# A run that hangs is a failure, not a stuck job.
WINE_TIMEOUT=${WINE_TIMEOUT:-60}

passed=0
failed=0
scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvane-wine.XXXXXX")
cleanup_hooks=()
cleanup() {
  local hook
  for hook in "${cleanup_hooks[@]}"; do eval "$hook" || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

pass() { passed=$((passed + 1)); echo "PASS: $1"; }
fail() { failed=$((failed + 1)); echo "FAIL: $1"; [ $# -lt 2 ] || printf '  %s\n' "${@:2}"; }

finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

# The Windows form of a local path as Wine maps it (drive Z: is the root).
win_path() { printf 'Z:%s' "${1//\//\\}"; }

# A private copy of the cross-built program beside config.ini and the writer images.
#   make_install NAME   -> prints the directory
make_install() {
  local dir="$scratch/$1"
  mkdir -p "$dir"
  cp "$WIN_BIN/Orvane.exe" "$WIN_BIN/dnusb.dll" "$dir/"
  [ ! -f "$WIN_BIN/config.ini" ] || cp "$WIN_BIN/config.ini" "$dir/"
  [ ! -d "$WIN_BIN/writer" ] || cp -r "$WIN_BIN/writer" "$dir/"
  printf '%s' "$dir"
}

# Runs Orvane.exe of an install under Wine: stdout into $run_out, exit code into $run_rc,
# the run's duration in milliseconds into $run_ms.
#   run_orvane INSTALL_DIR ARG...
run_orvane() {
  local dir=$1 started
  shift
  run_out="$scratch/out.$((passed + failed))"
  started=$(date +%s%N)
  set +e
  timeout "$WINE_TIMEOUT" wine "$dir/Orvane.exe" "$@" >"$run_out" 2>"$run_out.err"
  run_rc=$?
  set -e
  run_ms=$((($(date +%s%N) - started) / 1000000))
}

# The console of a Windows program ends lines with CR LF: the expected text (LF) is turned
# into that form, and then the two must agree byte for byte.
#   expect_console NAME EXPECTED_RC EXPECTED_FILE
expect_console() {
  local name=$1 want_rc=$2 want_file=$3
  local want_crlf="$scratch/want.crlf"
  perl -pe 's/\n/\r\n/' <"$want_file" >"$want_crlf"
  if [ "$run_rc" != "$want_rc" ]; then
    fail "$name" "exit code $run_rc, expected $want_rc" "output: $(od -c "$run_out" | head -5)"
  elif ! cmp -s "$run_out" "$want_crlf"; then
    fail "$name" "console output differs (expected, then actual):" \
      "$(od -c "$want_crlf" | head -8)" "$(od -c "$run_out" | head -8)"
  else
    pass "$name"
  fi
}

# As expect_console with the expected text given as a printf format (no % in it).
#   expect_line NAME EXPECTED_RC FORMAT
expect_line() {
  # shellcheck disable=SC2059
  printf "$3" >"$scratch/want.txt"
  expect_console "$1" "$2" "$scratch/want.txt"
}
