#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The bash completions, loaded by bash-completion's own loader from the completion/ folder
# (as from the installed folder) and driven as the shell drives them at a Tab: chip names from
# the config.ini beside the program, command words, options, values; and every option a
# command's --help names can be completed.
#   completion_test.sh BIN_DIR SOURCE_DIR
set -uo pipefail
bin=$1
source=$2
loader=/usr/share/bash-completion/bash_completion
if [ ! -r "$loader" ]; then
  echo "SKIP: bash-completion is not installed (apt-get install bash-completion)"
  exit 0
fi
user=$(mktemp -d)
trap 'rm -rf "$user"' EXIT
ln -s "$source/completion" "$user/completions"
export BASH_COMPLETION_USER_DIR=$user PATH="$bin:$PATH"
unset ORVANE_CONFIG_DIR ORVANE
# shellcheck disable=SC1090
. "$loader"

# The candidates for the last word of a command line (a trailing blank starts a new word).
complete_line() {
  local line=$1 function
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  __load_completion "${COMP_WORDS[0]}" || { echo "no completion loaded"; return; }
  function=$(complete -p "${COMP_WORDS[0]}" | sed -n 's/.* -F \([^ ]*\) .*/\1/p')
  COMPREPLY=()
  "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

failures=0
expect() {
  local got
  got=$(complete_line "$1")
  if [ "$got" != "$2" ]; then
    echo "FAIL: '$1' completes to '$got', expected '$2'"
    failures=$((failures + 1))
  fi
}

expect "orvane 471" "4710 4712 4715 4716"
expect "orvane 4710 r" "ra rc rf rst run"
expect "orvane 4710 rf 0 -s 64 -" "-o -s -u"
expect "orvane help " ""
expect "orvane-check --v" "--verify --version"
expect "orvane-check --json 4715 w" "wa wc wf"
expect "orvane-check --orvane $bin/Orvane 47" "4710 4712 4715 4716"
expect "orvane-monitor --reset 4716" "4716"
expect "orvane-monitor --ti" "--timestamps"
expect "orvane-gang -u 471" "4710 4712 4715 4716"
expect "zk32-sim st" "start stop"
expect "zk32-sim start --mode " "evk usb"
expect "zk32-sim ctl --dir /tmp flash-" "flash-load flash-read flash-save flash-write"
expect "zk32-sim ctl set ti" "timing"
expect "dnusb-list --j" "--json"

# Every long option a command's help names completes; so do zk32-sim's verbs.
for command in orvane-check orvane-monitor orvane-gang dnusb-list zk32-sim; do
  for option in $("$command" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    line="$command $option"
    [ "$command" = zk32-sim ] && [ "$option" != --help ] && [ "$option" != --version ] &&
      line="zk32-sim start $option"
    case " $(complete_line "$line") " in
      *" $option "*) ;;
      *) echo "FAIL: $command: $option, named by --help, does not complete"
         failures=$((failures + 1)) ;;
    esac
  done
done
for verb in start run stop ctl decode replay; do
  case " $(complete_line "zk32-sim ") " in
    *" $verb "*) ;;
    *) echo "FAIL: zk32-sim verb $verb does not complete"; failures=$((failures + 1)) ;;
  esac
done

[ $failures = 0 ] || exit 1
echo "PASS: completions of orvane, orvane-check, orvane-monitor, orvane-gang, zk32-sim, dnusb-list"
