// SPDX-License-Identifier: Apache-2.0
#include "sim/control_help.h"

namespace zk32sim {

const char kControlHelp[] =
    "Control commands (zk32-sim ctl COMMAND...); numbers are hex, times in set are decimal\n"
    "milliseconds or never.  Replies: ok, data, or error: TEXT.\n"
    "  mem-read target|probe ADDR LEN        read memory (no side effects on registers)\n"
    "  mem-write target|probe ADDR HEXBYTES  write memory (target writes go through registers)\n"
    "  flash-read ADDR LEN                   read flash\n"
    "  flash-write ADDR HEXBYTES             set flash bytes as given, no erase rules\n"
    "  flash-save FILE                       save the whole flash to FILE\n"
    "  flash-load FILE                       fill flash from FILE, the rest erased\n"
    "  pc-get                                the program counter\n"
    "  pc-set VALUE                          set the program counter\n"
    "  analog-read N LEN                     read analog registers\n"
    "  analog-write N HEXBYTES               write analog registers\n"
    "  otp-read ADDR LEN                     read OTP cells\n"
    "  uart-send HEXBYTES                    queue bytes on the data-in stream\n"
    "  trace                                 the decoded trace\n"
    "  trace-raw                             every control transfer\n"
    "  trace-clear                           clear both traces\n"
    "  pcap FILE                             from now on also write transfers to FILE\n"
    "  set KEY VALUE                         timing zero|real, reset-ready-after N,\n"
    "                                        analog-busy-ms N, activation-ms N,\n"
    "                                        status-byte XX, identity XXXXXXXX,\n"
    "                                        writer-erase-ms N, writer-program-ms N,\n"
    "                                        writer-read-ms N, evk-command-ms N\n"
    "  fault NAME [ARGS]                     stall N, read-fail ADDR [COUNT],\n"
    "                                        write-fail ADDR [COUNT], vlane-read-fail ADDR,\n"
    "                                        vlane-write-fail ADDR, pieces N, vanish,\n"
    "                                        probe-silent, probe-fail, writer-stuck,\n"
    "                                        writer-bad-ack, erase-fail ADDR,\n"
    "                                        program-fail ADDR, program-corrupt ADDR,\n"
    "                                        vlane-broken, sw-readback-broken\n"
    "  fault-clear                           clear every fault\n"
    "  ping                                  ok when the simulator answers\n"
    "  help                                  this list (needs no simulator)\n";

}  // namespace zk32sim
