#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# orvane-gang: programs one image into several boards at once from this host: one Orvane per
# board, each board picked by its selector (DNUSB_DEVICE: the location, serial or simulator
# name that dnusb-list prints), and a result line per board.  See orvane-gang(1).
set -uo pipefail

version="@PROJECT_VERSION@"

usage() {
  cat <<'TEXT'
usage: orvane-gang [-u] [-a ADDRESS] [-v] [-o DIR] CHIP IMAGE SELECTOR...
       orvane-gang --help | --version
  -u          the chips are on USB themselves (default: each behind an EVK probe)
  -a ADDRESS  flash address, hexadecimal (default 0)
  -v          read each board's flash back and compare it with the image
  -o DIR      keep each board's console output in DIR/<selector>.txt
  ORVANE=PATH the program to run (default: the orvane beside this command, else on PATH)
Each selector names one board, once.  Exit status: 0 when every board was programmed (and
verified), 1 otherwise, 2 for bad use.
TEXT
}
refuse() {
  echo "orvane-gang: $*" >&2
  usage >&2
  exit 2
}

case ${1:-} in
  --help | -h) usage; exit 0 ;;
  --version)
    case $version in *@*) version="(source tree)" ;; esac
    echo "orvane-gang $version"
    exit 0 ;;
esac

usb=()
address=0
verify=0
keep=""
while getopts "ua:vo:" option; do
  case $option in
    u) usb=(-u) ;;
    a) address=$OPTARG ;;
    v) verify=1 ;;
    o) keep=$OPTARG ;;
    *) usage >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 3 ] || refuse "needs a chip, an image and at least one selector"
chip=$1
image=$2
shift 2
[ -f "$image" ] || refuse "no image file $image"
size=$(stat -c %s "$image")

# Two processes on one board would program it at the same time.
declare -A seen=()
for selector in "$@"; do
  [ -n "$selector" ] || refuse "an empty selector"
  [ -z "${seen[$selector]:-}" ] || refuse "board $selector named twice"
  seen[$selector]=1
done

orvane=${ORVANE:-}
if [ -z "$orvane" ]; then
  beside=$(dirname "$(readlink -f "$0")")/orvane
  if [ -x "$beside" ]; then orvane=$beside; else orvane=orvane; fi
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/orvane-gang-XXXXXX")
trap 'rm -rf "$work"' EXIT

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# One board, start to finish: download, then the read-back when asked.  Writes the board's
# console output to $work/N.txt and "ok|FAILED milliseconds detail" to $work/N.result.
flash_one() {
  local n=$1 selector=$2 out=$work/$1.txt start detail status=ok
  start=$(now_ms)
  DNUSB_DEVICE=$selector "$orvane" "$chip" wf "$address" -i "$image" "${usb[@]}" >"$out" 2>&1
  # The program reports a failure on its console (its exit status is 0 either way): the
  # download succeeded only when it printed its summary for the whole image.
  if grep -q "File Download to 0x[0-9a-fA-F]*: $size bytes" "$out"; then
    detail="$size bytes"
    if [ $verify = 1 ]; then
      DNUSB_DEVICE=$selector "$orvane" "$chip" rf "$address" -s "$size" "${usb[@]}" \
        -o "$work/$n.readback" >>"$out" 2>&1
      if cmp -s "$image" "$work/$n.readback"; then
        detail="$detail, verified"
      else
        status=FAILED
        detail="read-back differs from $image"
      fi
    fi
  else
    status=FAILED
    detail=$(grep -v '^[[:space:]]*$' "$out" | tail -1)
    [ -n "$detail" ] || detail="no output"
  fi
  echo "$status $(($(now_ms) - start)) $detail" >"$work/$n.result"
}

selectors=("$@")
start=$(now_ms)
for i in "${!selectors[@]}"; do
  flash_one "$i" "${selectors[$i]}" &
done
wait
total=$(($(now_ms) - start))

good=0
for i in "${!selectors[@]}"; do
  read -r status ms detail <"$work/$i.result"
  printf '%s: %s in %d.%01d s: %s\n' "${selectors[$i]}" "$status" $((ms / 1000)) $((ms % 1000 / 100)) "$detail"
  [ "$status" = ok ] && good=$((good + 1))
  if [ -n "$keep" ]; then
    mkdir -p "$keep"
    cp "$work/$i.txt" "$keep/$(echo "${selectors[$i]}" | tr '/\\:' '___').txt"
  fi
done
echo "$good of ${#selectors[@]} boards programmed in $((total / 1000)).$((total % 1000 / 100)) s"
[ "$good" = ${#selectors[@]} ]
