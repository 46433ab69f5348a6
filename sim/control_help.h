// SPDX-License-Identifier: Apache-2.0
// The list of control commands, for "zk32-sim ctl help" (and the control command "help").
#ifndef ZK32_SIM_CONTROL_HELP_H
#define ZK32_SIM_CONTROL_HELP_H

namespace zk32sim {

extern const char kControlHelp[];

}  // namespace zk32sim

#endif
