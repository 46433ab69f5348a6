// SPDX-License-Identifier: Apache-2.0
// DNUSB_DEVICE matching (see device_selector.h).
#include "device_selector.h"

#include <stdlib.h>
#include <string.h>

namespace {

bool same_text(const char *a, const char *b) {
  for (;; ++a, ++b) {
    char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
    char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
    if (x != y) return false;
    if (x == '\0') return true;
  }
}

}  // namespace

const char *dn_selector(void) {
  const char *selector = getenv("DNUSB_DEVICE");
  return selector != nullptr && selector[0] != '\0' ? selector : nullptr;
}

void dn_device_names_of(const dn_port *port, uint32_t index, const char *path, bool with_serial,
                        dn_device_names *names) {
  names->location[0] = '\0';
  names->serial[0] = '\0';
  if (port->names != nullptr) port->names(index, path, with_serial, names);
  // A port may leave a name unterminated only by a fault of its own; never read past it.
  names->location[sizeof names->location - 1] = '\0';
  names->serial[sizeof names->serial - 1] = '\0';
}

bool dn_selector_matches(const dn_port *port, uint32_t index, const char *path,
                         const char *selector) {
  if (strcmp(path, selector) == 0) return true;
  dn_device_names names;
  dn_device_names_of(port, index, path, false, &names);
  if (names.location[0] != '\0' && same_text(names.location, selector)) return true;
  // Reading a serial costs a transfer on most ports: only when the location did not decide.
  dn_device_names_of(port, index, path, true, &names);
  return names.serial[0] != '\0' && same_text(names.serial, selector);
}
