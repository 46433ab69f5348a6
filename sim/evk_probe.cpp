// SPDX-License-Identifier: Apache-2.0
#include "sim/evk_probe.h"

#include <cstdio>
#include <vector>

namespace zk32sim {

namespace {
constexpr uint16_t kVlaneWrite = 0x4100;
constexpr uint16_t kVlaneRead = 0xC100;
constexpr uint16_t kLinkSync = 0x0700;
constexpr uint16_t kLinkCheck = 0x8100;
constexpr uint16_t kSingleWire = 0x0F00;
constexpr uint8_t kActivate = 0x4d;
constexpr uint32_t kIdFirst = 0x7c;

bool touches(uint32_t fault_address, uint32_t address, uint32_t count) {
  return fault_address - address < (count ? count : 1);
}
}  // namespace

EvkProbe::EvkProbe(TargetChip &target, ChipContext context)
    : target_(target), context_(context), bus_(0x10000) {
  put_word(kIdFirst, kProbeIdWord);
}

uint32_t EvkProbe::word(uint32_t address) {
  return uint32_t(bus_.raw(address)) | uint32_t(bus_.raw(address + 1)) << 8 |
         uint32_t(bus_.raw(address + 2)) << 16 | uint32_t(bus_.raw(address + 3)) << 24;
}

void EvkProbe::put_word(uint32_t address, uint32_t value) {
  for (uint32_t i = 0; i < 4; ++i) bus_.raw(address + i) = uint8_t(value >> (8 * i));
}

uint8_t EvkProbe::peek(uint32_t address) {
  advance();
  return bus_.raw(address);
}

void EvkProbe::poke(uint32_t address, uint8_t value) {
  address &= 0xffff;
  if (address >= kIdFirst && address < kIdFirst + 4) return;
  bus_.raw(address) = value;
}

void EvkProbe::write_request(uint32_t address, const uint8_t *data, size_t n, bool fixed) {
  advance();
  bool reaches_control_byte = false;
  for (size_t i = 0; i < n; ++i) {
    uint32_t a = (fixed ? address : uint32_t(address + i)) & 0xffff;
    if (a >= kIdFirst && a < kIdFirst + 4) continue;  // the id word is read-only
    bus_.raw(a) = data[i];
    if (a == kControlByte) reaches_control_byte = true;
  }
  bool whole_block = !fixed && n > 0 && address <= kCommandBlock &&
                     address + n - 1 >= kControlByte;
  if (whole_block) {
    take_command();
  } else if (reaches_control_byte) {
    if (bus_.raw(kControlByte) == kActivate) {
      int ms = context_.settings.activation_ms;
      activating_ = ms != kNever;
      activation_due_ms_ = context_.clock.now_ms() + (ms > 0 ? ms : 0);
    }
  }
  advance();
}

void EvkProbe::read_request(uint32_t address, uint8_t *out, size_t n, bool fixed) {
  advance();
  for (size_t i = 0; i < n; ++i) out[i] = bus_.raw((fixed ? address : uint32_t(address + i)));
}

// The probe replaces the completion word left by an earlier command as soon as it takes a
// new one, so that a poll never mistakes the old word for this command's.
void EvkProbe::take_command() {
  uint32_t word1 = word(kCommandBlock + 4);
  command_.code = uint16_t(word1 >> 16);
  command_.count = word1 & 0xffff;
  command_.word0 = word(kCommandBlock);
  put_word(kCompletionWord, 0);
  char line[64];
  snprintf(line, sizeof line, "evk %04x %x %x", command_.code, command_.word0, command_.count);
  context_.trace.event(line);
  pending_ = true;
  due_ms_ = context_.clock.now_ms() + context_.settings.evk_command_ms;
}

void EvkProbe::advance() {
  double now = context_.clock.now_ms();
  if (pending_ && !context_.faults.probe_silent && now >= due_ms_) {
    pending_ = false;
    bool ok = !context_.faults.probe_fail && carry_out(command_);
    put_word(kCompletionWord, ok ? command_.count : kEvkFailure | command_.count);
  }
  if (activating_ && now >= activation_due_ms_) {
    activating_ = false;
    put_word(kStatusWord, word(kStatusWord) + 1);
    target_.set_activated(true);
  }
}

bool EvkProbe::carry_out(const Command &c) {
  const Faults &faults = context_.faults;
  bool link = !faults.vlane_broken;
  switch (c.code) {
    case kVlaneWrite:
      return link && vlane_write(c.word0, c.count);
    case kVlaneRead:
      return link && vlane_read(c.word0, c.count);
    case kLinkSync:
    case kLinkCheck:
      return link;
    case kSingleWire:
      // Its parameter is the target single-wire register plus one.
      have_single_wire_ = true;
      single_wire_target_ = c.word0 - 1;
      return link;
    default:
      return false;
  }
}

bool EvkProbe::vlane_write(uint32_t address, uint32_t count) {
  const Faults &faults = context_.faults;
  if (count > kStagingSize) return false;
  if (faults.vlane_write_fail && touches(faults.vlane_write_fail_addr, address, count)) {
    return false;
  }
  std::vector<uint8_t> data(count);
  for (uint32_t i = 0; i < count; ++i) data[i] = bus_.raw(kStagingBuffer + i);
  target_.write(address, data.data(), count, false);
  char head[32];
  snprintf(head, sizeof head, "vw %x ", address);
  context_.trace.event(head + hex_bytes(data.data(), count));
  return true;
}

bool EvkProbe::vlane_read(uint32_t address, uint32_t count) {
  const Faults &faults = context_.faults;
  if (count > kStagingSize) return false;
  if (faults.vlane_read_fail && touches(faults.vlane_read_fail_addr, address, count)) {
    return false;
  }
  std::vector<uint8_t> data(count);
  target_.read(address, data.data(), count, false);
  if (faults.sw_readback_broken && have_single_wire_ && count > 0 &&
      touches(single_wire_target_, address, count)) {
    data[single_wire_target_ - address] ^= 0xff;
  }
  for (uint32_t i = 0; i < count; ++i) bus_.raw(kStagingBuffer + i) = data[i];
  char head[32];
  snprintf(head, sizeof head, "vr %x %x ", address, count);
  context_.trace.event(head + hex_bytes(data.data(), count));
  return true;
}

}  // namespace zk32sim
