// dnusb-list: prints every device the library would consider, in search order, with its
// identity word and whether it is an EVK probe; for a device that cannot be opened, why.
//
// Exit code: 0 when at least one device was opened, 1 otherwise.
#include <stdio.h>
#include <string.h>

#include "byte_order.h"
#include "dnusb.h"
#include "port.h"
#include "transfer.h"

namespace {

const char kVendorMatch[] = "vid_3a7e&pid_";

void explain(const char *why) {
  if (strstr(why, "permission") == nullptr) return;
  printf("    The device node is not accessible to this user.  The packages install the\n"
         "    udev rule 60-zk32.rules (access for the user at the seat; the rule file tells\n"
         "    how to give a group access for SSH and headless use).  From the source tree:\n"
         "      sudo cp scripts/udev/60-zk32.rules /etc/udev/rules.d/\n"
         "      sudo udevadm control --reload && sudo udevadm trigger\n"
         "    then unplug and replug the device.\n");
}

int list_port(const dn_port *port, int *opened) {
  int seen = 0;
  if (!port->begin_walk()) {
    printf("%s: cannot list devices\n", port->name);
    return 0;
  }
  for (uint32_t index = 0; port->interface_at(index); ++index) {
    char path[2048];
    size_t length = 0;
    if (!port->device_path(index, path, sizeof path, &length)) {
      printf("%s: device %u: no device path\n", port->name, static_cast<unsigned>(index));
      continue;
    }
    if (length >= sizeof path || strstr(path, kVendorMatch) == nullptr) continue;
    ++seen;
    char why[256] = "";
    dn_handle_t handle = dn_handle_open(port, path, why, sizeof why);
    if (handle == 0) {
      printf("%s\n    cannot open: %s\n", path, why[0] != '\0' ? why : "unknown reason");
      explain(why);
      continue;
    }
    ++*opened;
    unsigned char id[4] = {0, 0, 0, 0};
    bool read = dn_retrying_read(handle, kShortLayout, 0x7e, id, 4, 0, 3072) == 4;
    uint32_t identity = load_le32(id);
    const char *kind = IsEVKDevice(handle) == 4 ? "EVK probe" : "target chip";
    if (read) {
      printf("%s\n    identity 0x%08x, %s\n", path, static_cast<unsigned>(identity), kind);
    } else {
      printf("%s\n    identity unreadable, %s\n", path, kind);
    }
    dn_handle_close(handle);
  }
  port->end_walk();
  return seen;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 2 && strcmp(argv[1], "--version") == 0) {
    printf("dnusb-list %s\n", ORVANE_VERSION);
    return 0;
  }
  if (argc > 1) {
    printf("usage: %s [--version]\n"
           "Lists the ZK32 USB devices and simulators that dnusb finds (simulators from\n"
           "$ZK32_SIM_DIR and $ZK32_SIM_TCP).\n",
           argv[0]);
    return argc == 2 && (strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "--help") == 0) ? 0 : 2;
  }
  size_t count = 0;
  const dn_port *const *ports = dn_ports(&count);
  int seen = 0;
  int opened = 0;
  for (size_t i = 0; i < count; ++i) seen += list_port(ports[i], &opened);
  if (seen == 0) printf("no device found\n");
  return opened > 0 ? 0 : 1;
}
