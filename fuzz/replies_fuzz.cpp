// SPDX-License-Identifier: Apache-2.0
// Device replies into the library: a fake port answers every request from the fuzz bytes
// (failures, short replies, replies longer than offered, the data itself), while the same
// bytes pick the exports called and their arguments.  Every destination is a heap block of
// exactly the size the export may fill, so a copy out of bounds is caught by AddressSanitizer;
// every count returned stays within what was asked.
#include <cstdint>
#include <cstring>
#include <vector>

#include "clock.h"
#include "dnusb.h"
#include "fuzz/fuzz_check.h"
#include "port.h"

namespace {

const uint8_t *input = nullptr;
size_t input_size = 0;
size_t cursor = 0;
uint32_t now = 0;

uint8_t next_byte() { return cursor < input_size ? input[cursor++] : 0; }
bool exhausted() { return cursor >= input_size; }
uint32_t next_value(int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = value << 8 | next_byte();
  return value;
}

int device_object = 1;
const char kPath[] = "usb\\vid_3a7e&pid_5a32\\1";

bool begin_walk() { return true; }
bool interface_at(uint32_t index) { return index == 0; }
bool device_path(uint32_t, char *path, size_t size, size_t *length) {
  *length = sizeof kPath - 1;
  std::snprintf(path, size, "%s", kPath);
  return true;
}
bool driver_key(uint32_t, char *key, size_t size) {
  std::snprintf(key, size, "{fuzz}\\0");
  return true;
}
void end_walk() {}
void *open_device(const char *, char *, size_t) { return &device_object; }
void close_device(void *) {}

// Once the bytes run out every transfer fails, so each loop of the library ends.
bool vendor_set(void *, const unsigned char *, uint32_t) {
  return !exhausted() && next_byte() % 8 != 0;
}

bool vendor_get(void *, const unsigned char *, uint32_t, unsigned char *out, uint32_t out_size,
                uint32_t *got) {
  if (exhausted()) return false;
  uint32_t length = 0;
  switch (next_byte() % 8) {
    case 0: return false;
    case 1: length = next_byte() % (out_size + 1); break;     // short
    case 2: length = out_size + next_byte() % 16; break;      // reported longer than offered
    default: length = out_size >= 8 ? out_size - 8 : 0; break;  // what was asked for
  }
  const uint32_t stored = length < out_size ? length : out_size;
  for (uint32_t i = 0; i < stored; ++i) out[i] = next_byte();
  *got = length;
  return true;
}

int read_stream(void *, unsigned char *buffer, uint32_t size) {
  if (exhausted() || next_byte() % 4 == 0) return -1;
  const uint32_t count = next_value(2) % (size + 1);
  for (uint32_t i = 0; i < count; ++i) buffer[i] = next_byte();
  return static_cast<int>(count);
}

const dn_port kPort = {"fuzz", begin_walk, interface_at, device_path, driver_key, end_walk,
                       open_device, close_device, vendor_set, vendor_get, read_stream,
                       nullptr};
const dn_port *const kPorts[] = {&kPort};

uint32_t tick() { return now += 7; }
void no_sleep(uint32_t) {}

// One export call chosen by the next byte.
void call_one(dn_handle_t handle) {
  const uint8_t op = next_byte() % 16;
  const uint32_t address = next_value(3);
  const int count = static_cast<int>(next_value(2) % 5000);
  const int chunk = static_cast<int>(next_value(2) % 5000);
  const int mode = (next_byte() & 1) ? 4 : 1;
  // Reads fill at least one byte even for a count of 0.
  std::vector<unsigned char> block(static_cast<size_t>(count > 0 ? count : 1), 0x5a);
  unsigned char *b = block.data();
  const int a = static_cast<int>(address);
  int result = 0;
  switch (op) {
    case 0: result = ReadUSBMem(handle, a, b, count, 0, chunk); break;
    case 1: result = ReadUSBMem2(handle, a, b, count, 1, chunk); break;
    case 2: result = ReadUSBMemCheck(handle, a, b, count, 0, chunk); break;
    case 3: result = ReadUSBMemCheck2(handle, a, b, count, 0, chunk); break;
    case 4: result = WriteUSBMemCheck(handle, a, b, count, 0, chunk); break;
    case 5: result = WriteUSBMem2(handle, a, b, count, 0, chunk); break;
    case 6: result = ReadMem(handle, address, b, count, mode); break;
    case 7: result = ReadMem2(handle, address, b, count, mode | 0x200); break;
    case 8: result = WriteMem(handle, address, b, count, mode); break;
    case 9: result = WriteMem2(handle, address, b, count, mode); break;
    case 10: {
      uint32_t status = 0;
      result = EVKCommand(handle, address, static_cast<uint32_t>(count), 0xC100, nullptr, &status);
      break;
    }
    case 11: result = dn_flash_read(handle, address, b, count > 256 ? 256 : count); break;
    case 12: dn_otp_read(handle, a); return;
    case 13: {
      std::vector<unsigned char> uart(2048);
      result = ReadUartMem(handle, uart.data());
      FUZZ_CHECK(result <= 2048);
      return;
    }
    case 14: {
      uint32_t value = 0;
      result = ReadUSBReg(handle, a, &value);
      FUZZ_CHECK(value <= 0xff);
      break;
    }
    default:
      FUZZ_CHECK(IsEVKDevice(handle) == 0 || IsEVKDevice(handle) == 4 || exhausted());
      return;
  }
  FUZZ_CHECK(result >= 0 && result <= (count > 0 ? count : 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  input = data;
  input_size = size;
  cursor = 0;
  dn_ports_override(kPorts, 1);
  dn_clock_override(tick, no_sleep);
  // The first byte chooses between a device search (its identity reads come from the bytes
  // too) and a handle opened directly.
  dn_handle_t handle = (next_byte() & 1) ? GetPrintDeviceHandle(0xffff) : 0;
  if (handle == 0) handle = dn_handle_open(&kPort, kPath, nullptr, 0);
  for (int calls = 0; calls < 24 && !exhausted(); ++calls) call_one(handle);
  dn_ports_override(nullptr, 0);
  dn_clock_override(nullptr, nullptr);
  return 0;
}
