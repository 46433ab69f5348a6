#!/usr/bin/env bash
# Programs one image into several boards at once from this host: one Orvane per board, each
# board picked by its selector (DNUSB_DEVICE: the location, serial or simulator name that
# dnusb-list prints), and a result line per board.
#
#   scripts/gang-flash.sh [-u] [-a ADDRESS] [-v] [-o DIR] CHIP IMAGE SELECTOR...
#     -u          the chips are on USB themselves (default: each behind an EVK probe)
#     -a ADDRESS  flash address, hexadecimal (default 0)
#     -v          read each board's flash back and compare it with the image
#     -o DIR      keep each board's console output in DIR/<selector>.txt
#   ORVANE=PATH   the program to run (default: build/release/bin/Orvane, else Orvane on PATH)
#
# Example: scripts/gang-flash.sh -u -v 4710 firmware.bin 1-3.1 1-3.2 1-3.3 1-3.4
# Exit status: 0 when every board was programmed (and verified), 1 otherwise, 2 for bad use.
set -uo pipefail

usage() {
  sed -n '6,11p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

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
    *) usage ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 3 ] || usage
chip=$1
image=$2
shift 2
[ -f "$image" ] || { echo "gang-flash: no image file $image" >&2; exit 2; }
size=$(stat -c %s "$image")

root=$(cd "$(dirname "$0")/.." && pwd)
orvane=${ORVANE:-}
if [ -z "$orvane" ]; then
  if [ -x "$root/build/release/bin/Orvane" ]; then orvane=$root/build/release/bin/Orvane; else orvane=Orvane; fi
fi
work=$(mktemp -d /tmp/gang-flash-XXXXXX)
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
