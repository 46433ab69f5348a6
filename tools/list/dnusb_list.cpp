// SPDX-License-Identifier: Apache-2.0
// dnusb-list: prints every device the library would consider, in search order, with the
// selector that picks it out through DNUSB_DEVICE, its serial, its identity word (with the
// chip it names in the chip table of the program folder) and whether it is an EVK probe; for
// a device that cannot be opened, why.  With DNUSB_DEVICE set, only the devices answering to
// it.  Simulators passed over (a rendezvous folder or socket that is not the user's own, a TCP
// port where no simulator answers) are named with why.  --json gives the same as one JSON
// array.
//
// Exit code: 0 when at least one device was opened, 1 otherwise, 2 for a bad argument.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <cstdlib>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "wire/byte_order.h"
#include "device_selector.h"
#include "dnusb.h"
#include "port.h"
#include "port_sim.h"
#include "tools/check/chip_table.h"
#include "transfer.h"

namespace {

const char kVendorMatch[] = "vid_3a7e&pid_";

struct listed_device {
  const char *port;
  const char *path;
  const char *selector;
  const char *serial;  // "" when none
  bool opened;
  const char *why;     // when not opened
  bool identity_read;
  uint32_t identity;
  const char *kind;
  const char *chip;    // the chip the identity names, "" when none
};

struct output {
  bool json;
  int printed;
  std::vector<chip_row> chips;  // the program folder's chip table (empty when none)
};

// The directory of this program's real path, without a separator at the end.
std::string own_directory() {
#if defined(_WIN32)
  char path[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string text(path, length < MAX_PATH ? length : 0);
#else
  char *resolved = realpath("/proc/self/exe", nullptr);
  std::string text(resolved != nullptr ? resolved : "");
  free(resolved);
#endif
  const size_t separator = text.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : text.substr(0, separator);
}

// The chip table beside the lister (the build folder, the Windows folder), else in the
// installation's program folder relative to it (DNUSB_LIST_PROGRAM_DIR), as Orvane reads it.
std::vector<chip_row> program_chip_table() {
  std::vector<chip_row> rows;
  // Orvane reads the table from ORVANE_CONFIG_DIR when that is set: name chips as it would.
  const char *chosen = std::getenv("ORVANE_CONFIG_DIR");
  if (chosen != nullptr && *chosen != '\0') {
    read_chip_table(std::string(chosen) + "/config.ini", &rows);
    return rows;
  }
  const std::string dir = own_directory();
  if (dir.empty()) return rows;
  if (read_chip_table(dir + "/config.ini", &rows)) return rows;
  read_chip_table(dir + "/" DNUSB_LIST_PROGRAM_DIR "/config.ini", &rows);
  return rows;
}

void explain(const char *why) {
  if (strstr(why, "permission") == nullptr) return;
  printf("    The device node is not accessible to this user.  The packages install the\n"
         "    udev rule 60-zk32.rules (access for the user at the seat; the rule file tells\n"
         "    how to give a group access for SSH and headless use).  From the source tree:\n"
         "      sudo cp data/udev/60-zk32.rules /etc/udev/rules.d/\n"
         "      sudo udevadm control --reload && sudo udevadm trigger\n"
         "    then unplug and replug the device.\n");
}

void print_text(const listed_device &d) {
  printf("%s\n", d.path);
  if (!d.opened) {
    printf("    cannot open: %s\n", d.why);
  } else if (d.identity_read) {
    if (d.chip[0] != '\0') {
      printf("    identity 0x%08x (chip %s), %s\n", static_cast<unsigned>(d.identity), d.chip,
             d.kind);
    } else {
      printf("    identity 0x%08x, %s\n", static_cast<unsigned>(d.identity), d.kind);
    }
  } else {
    printf("    identity unreadable, %s\n", d.kind);
  }
  printf("    selector %s, serial %s\n", d.selector, d.serial[0] != '\0' ? d.serial : "none");
  if (!d.opened) explain(d.why);
}

// A JSON string, or null for "" when empty_is_null.
void print_json_string(const char *text, bool empty_is_null) {
  if (empty_is_null && text[0] == '\0') {
    fputs("null", stdout);
    return;
  }
  putchar('"');
  for (const unsigned char *c = reinterpret_cast<const unsigned char *>(text); *c != 0; ++c) {
    if (*c == '"' || *c == '\\') {
      printf("\\%c", *c);
    } else if (*c < 0x20) {
      printf("\\u%04x", *c);
    } else {
      putchar(*c);
    }
  }
  putchar('"');
}

void print_json(const listed_device &d, bool first) {
  printf("%s\n  {\"port\": ", first ? "" : ",");
  print_json_string(d.port, false);
  fputs(", \"path\": ", stdout);
  print_json_string(d.path, false);
  fputs(", \"selector\": ", stdout);
  print_json_string(d.selector, false);
  fputs(", \"serial\": ", stdout);
  print_json_string(d.serial, true);
  if (d.opened && d.identity_read) {
    printf(", \"identity\": \"0x%08x\"", static_cast<unsigned>(d.identity));
  } else {
    fputs(", \"identity\": null", stdout);
  }
  fputs(", \"chip\": ", stdout);
  print_json_string(d.chip, true);
  fputs(", \"kind\": ", stdout);
  print_json_string(d.opened ? d.kind : "", true);
  fputs(", \"error\": ", stdout);
  print_json_string(!d.opened ? d.why : d.identity_read ? "" : "identity unreadable", true);
  putchar('}');
}

void list_port(const dn_port *port, const char *wanted, output *out, int *opened) {
  if (!port->begin_walk()) {
    if (!out->json) printf("%s: cannot list devices\n", port->name);
    return;
  }
  for (uint32_t index = 0; port->interface_at(index); ++index) {
    char path[2048];
    size_t length = 0;
    if (!port->device_path(index, path, sizeof path, &length)) {
      if (!out->json) printf("%s: device %u: no device path\n", port->name, static_cast<unsigned>(index));
      continue;
    }
    if (length >= sizeof path || strstr(path, kVendorMatch) == nullptr) continue;
    if (wanted != nullptr && !dn_selector_matches(port, index, path, wanted)) continue;
    dn_device_names names;
    dn_device_names_of(port, index, path, true, &names);
    listed_device d = {port->name, path, "", names.serial, false, "", false, 0, "", ""};
    // The shortest name that picks this device out: where it is, else its serial, else its
    // path.
    d.selector = names.location[0] != '\0' ? names.location
                 : names.serial[0] != '\0' ? names.serial
                                           : path;
    char why[256] = "";
    dn_handle_t handle = dn_handle_open(port, path, why, sizeof why);
    if (handle == 0) {
      d.why = why[0] != '\0' ? why : "unknown reason";
    } else {
      d.opened = true;
      ++*opened;
      unsigned char id[4] = {0, 0, 0, 0};
      d.identity_read = dn_retrying_read(handle, kShortLayout, 0x7e, id, 4, 0, 3072) == 4;
      d.identity = load_le32(id);
      const bool probe = IsEVKDevice(handle) == 4;
      d.kind = probe ? "EVK probe" : "target chip";
      // A probe's word at 0x7e is its own, not a chip's.
      const chip_row *chip = d.identity_read && !probe ? chip_reporting(out->chips, d.identity)
                                                        : nullptr;
      d.chip = chip != nullptr ? chip->name.c_str() : "";
      dn_handle_close(handle);
    }
    if (out->json) {
      print_json(d, out->printed == 0);
    } else {
      print_text(d);
    }
    ++out->printed;
  }
  port->end_walk();
}

// What the simulator port would not use, as an entry that was not opened.
void list_skipped(output *out) {
  size_t count = 0;
  const dn_skipped_target *skipped = dn_sim_skipped(&count);
  for (size_t i = 0; i < count; ++i) {
    char why[320];
    snprintf(why, sizeof why, "skipped: %s", skipped[i].why);
    listed_device d = {"sim", skipped[i].what, skipped[i].what, "", false, why, false, 0, "", ""};
    if (out->json) {
      print_json(d, out->printed == 0);
    } else {
      printf("%s\n    %s\n", d.path, why);
    }
    ++out->printed;
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 2 && strcmp(argv[1], "--version") == 0) {
    printf("dnusb-list %s\n", ORVANE_VERSION);
    return 0;
  }
  bool json = argc == 2 && strcmp(argv[1], "--json") == 0;
  if (argc > 1 && !json) {
    printf("usage: %s [--json | --version]\n"
           "Lists the ZK32 USB devices and simulators that dnusb finds (simulators from\n"
           "$ZK32_SIM_DIR and $ZK32_SIM_TCP): path, selector, serial, identity word (and the\n"
           "chip of config.ini it names), kind.\n"
           "Set DNUSB_DEVICE to a selector or serial to make the library use that device.\n",
           argv[0]);
    return argc == 2 && (strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "--help") == 0) ? 0 : 2;
  }
  const char *wanted = dn_selector();
  size_t count = 0;
  const dn_port *const *ports = dn_ports(&count);
  output out = {json, 0, program_chip_table()};
  int opened = 0;
  if (json) fputs("[", stdout);
  for (size_t i = 0; i < count; ++i) {
    list_port(ports[i], wanted, &out, &opened);
    if (strcmp(ports[i]->name, "sim") == 0) list_skipped(&out);
  }
  if (json) {
    fputs(out.printed > 0 ? "\n]\n" : "]\n", stdout);
  } else if (out.printed == 0 && wanted != nullptr) {
    printf("no device found for DNUSB_DEVICE=%s\n", wanted);
  } else if (out.printed == 0) {
    printf("no device found\n");
  }
  return opened > 0 ? 0 : 1;
}
