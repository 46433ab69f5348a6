// SPDX-License-Identifier: Apache-2.0
// Probe-side operations of the EVK: the single-wire (Vlane) set-up with its read-back proof,
// and the activation handshake.
#include "base/console.h"
#include "base/platform.h"
#include "control/control.h"
#include "dnusb.h"
#include "engine/chip_family.h"
#include "wire/target_registers.h"
#include "engine/target_route.h"

namespace {

constexpr uint32_t kAnyDevice = 0xffff;
constexpr unsigned char kActivateCommand = 0x4d;  // 'M' in the probe control byte
constexpr uint32_t kActivationLimitMs = 5000;
constexpr uint32_t kActivationPollMs = 100;
constexpr uint32_t kEvkLinkSelect = 0x0f00;
constexpr uint32_t kEvkLinkSync = 0x0700;

// The EVK probe on the first handle, or 0 when there is none.
dn_handle_t open_probe() {
  const dn_handle_t first = GetPrintDeviceHandle(kAnyDevice);
  if (first == 0 || IsEVKDevice(first) == 0) return 0;
  return first;
}

void read_probe_status(dn_handle_t probe, unsigned char word[4]) {
  probe_read(probe, kProbeStatusWord, word, 4);
}

// The target behind the probe, over Vlane.
target_route vlane_route(dn_handle_t probe, int mcu_type) {
  return make_route(probe, kModeEvk, mcu_type);
}

bool same_word(const unsigned char a[4], const unsigned char b[4]) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

// One activation pass: 'M' in the probe control byte, then a change of the probe status
// word marks completion.  False on the time-out.
bool activation_pass(dn_handle_t probe, int mcu_type) {
  unsigned char before[4] = {0, 0, 0, 0};
  unsigned char after[4] = {0, 0, 0, 0};
  write_probe_control(probe, mcu_type);
  wait_ms(10);
  read_probe_status(probe, before);
  probe_write_byte(probe, kProbeControl, kActivateCommand);
  read_probe_status(probe, after);
  const uint32_t start = clock_ms();
  while (same_word(after, before)) {
    read_probe_status(probe, after);
    wait_ms(kActivationPollMs);
    if (clock_ms() - start > kActivationLimitMs) return false;
  }
  return true;
}

}  // namespace

outcome setup_single_wire(int mcu_type, const unsigned char bytes[4]) {
  const dn_handle_t probe = open_probe();
  if (probe == 0) return fail(msg::no_evk_device_55);
  // Sums are formed on the byte values and do not wrap: P = 0xff addresses 0x101.
  const uint32_t probe_register = bytes[0];
  const unsigned char probe_value = bytes[1];
  const uint32_t target_register = bytes[2];
  const unsigned char target_value = bytes[3];

  probe_write_byte(probe, probe_register + 2, probe_value);
  write_probe_control(probe, mcu_type);
  sleep_ms(10);
  EVKCommand(probe, target_register + 3, 1, kEvkLinkSelect, nullptr, nullptr);
  EVKCommand(probe, 0, 1, kEvkLinkSync, nullptr, nullptr);
  EVKCommand(probe, 0, 1, kEvkLinkSync, nullptr, nullptr);
  const target_route route = vlane_route(probe, mcu_type);
  route_write_byte(route, target_register + 2, target_value);

  // The link is proven only by a byte that really came back: a read-back that delivers
  // nothing is a dead link even when the value written was 0.
  unsigned char read_back = 0;
  const int got = route_read(route, target_register + 2, &read_back, 1);
  if (got != 1 || read_back != target_value) return fail(msg::zk32_evk_vlane_err_56);
  say(msg::single_wire_ok);
  return kDone;
}

outcome activate_target(int mode, int mcu_type) {
  const dn_handle_t probe = open_probe();
  if (probe == 0 || mode == kModeUsb) return fail(msg::only_support_evk_mode_61);
  for (int pass = 0; pass < 2; ++pass) {
    if (!activation_pass(probe, mcu_type)) return fail(msg::activate_timeout_62);
  }
  unsigned char status = 0;
  route_read(vlane_route(probe, mcu_type), kActivationStatus, &status, 1);
  if (status != 'S' && status != 'U') return fail(msg::activate_failed_63);
  say(msg::activate_done);
  return kDone;
}
