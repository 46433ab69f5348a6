// SPDX-License-Identifier: Apache-2.0
// DNUSB_DEVICE: the one device a search may take when several are attached.
//
// The variable holds a selector: a device's location (libusb: bus and port chain, "1-3.2";
// Windows: the location path; simulator: its name, or "tcp:PORT"), its USB serial number, or
// its whole device path, as dnusb-list prints them.  Set, a search skips every device that
// does not answer to it, before opening anything; unset or empty, nothing changes.  Locations
// and serials compare without regard to ASCII case (Windows upper-cases serials in its
// instance ids).
#ifndef DNUSB_DEVICE_SELECTOR_H
#define DNUSB_DEVICE_SELECTOR_H

#include <stddef.h>
#include <stdint.h>

#include "port.h"

// The selector from the environment, or NULL when DNUSB_DEVICE is unset or empty.
const char *dn_selector(void);

// Fills names for the interface at index of port's current walk (path is its device path).
// The serial is read only when with_serial is true; names the port cannot tell stay "".
void dn_device_names_of(const dn_port *port, uint32_t index, const char *path, bool with_serial,
                        dn_device_names *names);

// True when the interface at index of port's current walk answers to selector.  The serial
// is asked for only when the path and location do not already decide.
bool dn_selector_matches(const dn_port *port, uint32_t index, const char *path,
                         const char *selector);

#endif
