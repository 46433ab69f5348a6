// SPDX-License-Identifier: Apache-2.0
// The simulator's control language: one line in, one text reply out.  Numbers are hex, with
// or without "0x".  See sim/README.md for the full list.
#include <cstdlib>
#include <sstream>

#include "sim/analog_window.h"
#include "sim/control_help.h"
#include "sim/core.h"
#include "sim/device_state.h"
#include "sim/evk_probe.h"
#include "sim/nor_flash.h"
#include "sim/otp_array.h"
#include "sim/uart_port.h"

namespace zk32sim {

namespace {

// Replies are hex text and must fit one reply frame (16 MB).
constexpr uint32_t kMaxTransfer = 4u << 20;

std::vector<std::string> split_words(const std::string &line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

bool parse_hex(const std::string &text, uint32_t *value) {
  std::string s = text;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = s.substr(2);
  if (s.empty() || s.size() > 8) return false;
  for (char c : s) {
    if (!isxdigit(static_cast<unsigned char>(c))) return false;
  }
  *value = uint32_t(strtoul(s.c_str(), nullptr, 16));
  return true;
}

bool parse_decimal(const std::string &text, int *value) {
  if (text == "never") {
    *value = kNever;
    return true;
  }
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (!isdigit(static_cast<unsigned char>(c))) return false;
  }
  *value = atoi(text.c_str());
  return true;
}

bool parse_hex_bytes(const std::string &text, std::vector<uint8_t> *bytes) {
  std::string s = text;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = s.substr(2);
  if (s.size() % 2) return false;
  bytes->clear();
  for (size_t i = 0; i < s.size(); i += 2) {
    uint32_t v;
    if (!parse_hex(s.substr(i, 2), &v)) return false;
    bytes->push_back(uint8_t(v));
  }
  return true;
}

std::string fail(bool *ok, const std::string &why) {
  *ok = false;
  return "error: " + why;
}

}  // namespace

std::string DeviceState::command(const std::string &line, bool *ok) {
  *ok = true;
  std::vector<std::string> words = split_words(line);
  if (words.empty()) return fail(ok, "empty command");
  const std::string &verb = words[0];
  if (verb == "mem-read" || verb == "mem-write") return memory_command(words, ok);
  if (verb.compare(0, 6, "flash-") == 0) return flash_command(words, ok);
  if (verb == "set") return set_command(words, ok);
  if (verb == "fault" || verb == "fault-clear") return fault_command(words, ok);
  if (verb == "trace") return trace_.events();
  if (verb == "trace-raw") return trace_.raw();
  if (verb == "trace-clear") {
    trace_.clear();
    return "ok";
  }
  if (verb == "pcap") {
    if (words.size() != 2) return fail(ok, "usage: pcap FILE");
    if (!trace_.start_pcap(words[1])) return fail(ok, "cannot create " + words[1]);
    return "ok";
  }
  if (verb == "uart-send") {
    std::vector<uint8_t> bytes;
    if (words.size() != 2 || !parse_hex_bytes(words[1], &bytes)) {
      return fail(ok, "usage: uart-send HEXBYTES");
    }
    target_->uart().send(bytes.data(), bytes.size());
    return "ok";
  }
  if (verb == "pc-get" || verb == "pc-set" || verb == "analog-read" || verb == "analog-write" ||
      verb == "otp-read") {
    return chip_command(words, ok);
  }
  if (verb == "ping") return "ok";
  if (verb == "help") return kControlHelp;
  return fail(ok, "unknown command: " + verb);
}

std::string DeviceState::memory_command(const std::vector<std::string> &words, bool *ok) {
  bool reading = words[0] == "mem-read";
  if (words.size() != 4) {
    return fail(ok, reading ? "usage: mem-read target|probe ADDR LEN"
                            : "usage: mem-write target|probe ADDR HEXBYTES");
  }
  bool on_probe = words[1] == "probe";
  if (!on_probe && words[1] != "target") return fail(ok, "expected target or probe");
  if (on_probe && !probe_) return fail(ok, "no probe in usb mode");
  uint32_t address;
  if (!parse_hex(words[2], &address)) return fail(ok, "bad address: " + words[2]);
  if (reading) {
    uint32_t length;
    if (!parse_hex(words[3], &length) || length > kMaxTransfer) {
      return fail(ok, "bad length: " + words[3]);
    }
    std::vector<uint8_t> bytes(length);
    for (uint32_t i = 0; i < length; ++i) {
      bytes[i] = on_probe ? probe_->peek(address + i) : target_->peek(address + i);
    }
    return hex_bytes(bytes.data(), bytes.size());
  }
  std::vector<uint8_t> bytes;
  if (!parse_hex_bytes(words[3], &bytes)) return fail(ok, "bad hex bytes: " + words[3]);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (on_probe) {
      probe_->poke(address + uint32_t(i), bytes[i]);
    } else {
      target_->poke(address + uint32_t(i), bytes[i]);
    }
  }
  return "ok";
}

std::string DeviceState::flash_command(const std::vector<std::string> &words, bool *ok) {
  NorFlash &flash = target_->flash();
  const std::string &verb = words[0];
  if (verb == "flash-save" || verb == "flash-load") {
    if (words.size() != 2) return fail(ok, "usage: " + verb + " FILE");
    bool done = verb == "flash-save" ? flash.save(words[1]) : flash.load(words[1]);
    return done ? "ok" : fail(ok, "cannot access " + words[1]);
  }
  if (verb != "flash-read" && verb != "flash-write") return fail(ok, "unknown command: " + verb);
  uint32_t address;
  if (words.size() != 3 || !parse_hex(words[1], &address)) {
    return fail(ok, "usage: " + verb + (verb == "flash-read" ? " ADDR LEN" : " ADDR HEXBYTES"));
  }
  if (verb == "flash-read") {
    uint32_t length;
    if (!parse_hex(words[2], &length) || length > kMaxTransfer) {
      return fail(ok, "bad length: " + words[2]);
    }
    std::vector<uint8_t> bytes(length);
    for (uint32_t i = 0; i < length; ++i) bytes[i] = flash.read(address + i);
    return hex_bytes(bytes.data(), bytes.size());
  }
  std::vector<uint8_t> bytes;
  if (!parse_hex_bytes(words[2], &bytes)) return fail(ok, "bad hex bytes: " + words[2]);
  for (size_t i = 0; i < bytes.size(); ++i) flash.set(address + uint32_t(i), bytes[i]);
  return "ok";
}

// Program counter, analog registers and OTP cells, seen from outside.
std::string DeviceState::chip_command(const std::vector<std::string> &words, bool *ok) {
  const std::string &verb = words[0];
  uint32_t a = 0, b = 0;
  bool has_a = words.size() >= 2 && parse_hex(words[1], &a);
  if (verb == "pc-get" && words.size() == 1) {
    target_->advance();
    char text[16];
    snprintf(text, sizeof text, "%x", target_->core().pc());
    return text;
  }
  if (verb == "pc-set" && words.size() == 2 && has_a) {
    target_->advance();
    target_->core().set_pc(a);
    return "ok";
  }
  if ((verb == "analog-read" || verb == "otp-read") && words.size() == 3 && has_a &&
      parse_hex(words[2], &b) && b <= 0x10000) {
    std::vector<uint8_t> bytes(b);
    for (uint32_t i = 0; i < b; ++i) {
      bytes[i] = verb == "otp-read" ? target_->otp().cell(uint16_t(a + i))
                                    : target_->analog().analog(uint8_t(a + i));
    }
    return hex_bytes(bytes.data(), bytes.size());
  }
  std::vector<uint8_t> bytes;
  if (verb == "analog-write" && words.size() == 3 && has_a && parse_hex_bytes(words[2], &bytes)) {
    for (size_t i = 0; i < bytes.size(); ++i) {
      target_->analog().set_analog(uint8_t(a + i), bytes[i]);
    }
    return "ok";
  }
  return fail(ok, "usage: pc-get | pc-set VALUE | analog-read N LEN | analog-write N HEXBYTES"
                  " | otp-read ADDR LEN");
}

std::string DeviceState::set_command(const std::vector<std::string> &words, bool *ok) {
  if (words.size() != 3) return fail(ok, "usage: set KEY VALUE");
  const std::string &key = words[1];
  const std::string &text = words[2];
  int number;
  uint32_t hex;
  if (key == "timing") {
    if (text != "zero" && text != "real") return fail(ok, "timing is zero or real");
    apply_timing(settings_, text == "zero");
  } else if (key == "reset-ready-after" && parse_decimal(text, &number) && number >= 1) {
    settings_.reset_ready_after = number;
  } else if (key == "analog-busy-ms" && parse_decimal(text, &number)) {
    settings_.analog_busy_ms = number;
  } else if (key == "activation-ms" && parse_decimal(text, &number)) {
    settings_.activation_ms = number;
  } else if (key == "writer-erase-ms" && parse_decimal(text, &number) && number >= 0) {
    settings_.writer_erase_ms = number;
  } else if (key == "writer-program-ms" && parse_decimal(text, &number) && number >= 0) {
    settings_.writer_program_ms = number;
  } else if (key == "writer-read-ms" && parse_decimal(text, &number) && number >= 0) {
    settings_.writer_read_ms = number;
  } else if (key == "evk-command-ms" && parse_decimal(text, &number) && number >= 0) {
    settings_.evk_command_ms = number;
  } else if (key == "status-byte" && parse_hex(text, &hex) && hex <= 0xff) {
    settings_.status_byte = int(hex);
  } else if (key == "identity" && parse_hex(text, &hex)) {
    settings_.identity = hex;
  } else {
    return fail(ok, "bad setting: " + key + " " + text);
  }
  return "ok";
}

std::string DeviceState::fault_command(const std::vector<std::string> &words, bool *ok) {
  if (words[0] == "fault-clear") {
    faults_ = Faults();
    return "ok";
  }
  if (words.size() < 2) return fail(ok, "usage: fault NAME [ARGS]");
  const std::string &name = words[1];
  uint32_t a = 0, b = 0;
  bool has_a = words.size() >= 3 && parse_hex(words[2], &a);
  bool has_b = words.size() >= 4 && parse_hex(words[3], &b);
  size_t args = words.size() - 2;
  auto need = [&](size_t n) { return args == n && (n == 0 || has_a) && (n < 2 || has_b); };
  if (name == "stall" && need(1) && a > 0) {
    faults_.stall_in = int(a);
  } else if ((name == "read-fail" || name == "write-fail") && (need(1) || need(2))) {
    bool reading = name == "read-fail";
    (reading ? faults_.read_fail : faults_.write_fail) = true;
    (reading ? faults_.read_fail_addr : faults_.write_fail_addr) = a;
    (reading ? faults_.read_fail_count : faults_.write_fail_count) = args == 2 ? int(b) : -1;
  } else if (name == "vlane-read-fail" && need(1)) {
    faults_.vlane_read_fail = true;
    faults_.vlane_read_fail_addr = a;
  } else if (name == "vlane-write-fail" && need(1)) {
    faults_.vlane_write_fail = true;
    faults_.vlane_write_fail_addr = a;
  } else if (name == "pieces" && need(1) && a > 0) {
    faults_.pieces = int(a);
  } else if (name == "erase-fail" && need(1)) {
    faults_.erase_fail = true;
    faults_.erase_fail_addr = a;
  } else if (name == "program-fail" && need(1)) {
    faults_.program_fail = true;
    faults_.program_fail_addr = a;
  } else if (name == "program-corrupt" && need(1)) {
    faults_.program_corrupt = true;
    faults_.program_corrupt_addr = a;
  } else if (name == "vanish" && need(0)) {
    faults_.vanished = true;
  } else if (name == "probe-silent" && need(0)) {
    faults_.probe_silent = true;
  } else if (name == "probe-fail" && need(0)) {
    faults_.probe_fail = true;
  } else if (name == "writer-stuck" && need(0)) {
    faults_.writer_stuck = true;
  } else if (name == "writer-bad-ack" && need(0)) {
    faults_.writer_bad_ack = true;
  } else if (name == "vlane-broken" && need(0)) {
    faults_.vlane_broken = true;
  } else if (name == "sw-readback-broken" && need(0)) {
    faults_.sw_readback_broken = true;
  } else {
    return fail(ok, "bad fault: " + name);
  }
  return "ok";
}

}  // namespace zk32sim
