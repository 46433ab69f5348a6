// SPDX-License-Identifier: Apache-2.0
// What the simulated-device port passed over in its last walk, and why: a rendezvous folder or
// socket it does not trust, a TCP port where no simulator answers.  dnusb-list names them.
#ifndef DNUSB_PORT_SIM_H
#define DNUSB_PORT_SIM_H

#include <stddef.h>

struct dn_skipped_target {
  const char *what;  // the folder, the socket file or "tcp:<port>"
  const char *why;   // one short clause
};

// Entries of the last walk (kept until the next one begins).  *count receives their number.
const dn_skipped_target *dn_sim_skipped(size_t *count);

#endif
