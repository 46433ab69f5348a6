// SPDX-License-Identifier: Apache-2.0
// The session's one door to the chip.
//
// Each operation is one run of Orvane, through the companion's runner, for three reasons:
//  - Orvane opens the device at the start of every operation and never closes a handle (the
//    end of its process releases them); the library has no export that closes one.  Called
//    in-process, a session would hold two more open devices per operation and run out after a
//    few hundred (a waiting `continue` polls the program counter many times a second).
//  - Every operation is Orvane's own code, command line and checks included; nothing of
//    run control, breakpoints, memory, flash or the listing lookup is done twice.
//  - An operation's outcome is read from its console lines with the message table, the way
//    every tool that drives Orvane reads it: a failure or refusal line, a refused command line
//    (exit status 1) or a missing completion line is a failure, never a success.
// What lasts between commands lives on the chip (armed breakpoints, a halted core); the
// simulated core, like a real one, goes on running between the runs.
//
// The UART is the exception: the device's data-in stream is read with the library's export,
// on one handle the session opens once.
#include "tools/debug/target_ops.h"

#include <cstdio>

#include "base/child_process.h"
#include "base/messages.h"
#include "dnusb.h"
#include "tools/check/line_kind.h"
#include "tools/check/platform.h"
#include "wire/target_registers.h"

namespace {

constexpr uint32_t kLargestWrite = 4;  // Orvane's core write takes up to four data bytes

// Completion lines, from the message table.
const char *const kResetDone = message_of(msg::reset_done).format;
const char *const kRunDone = message_of(msg::run_done).format;
const char *const kStopDone = message_of(msg::stop_done).format;
const char *const kStepDone = message_of(msg::step_done).format;
const char *const kBreakpointsDone = message_of(msg::breakpoints_done).format;
const char *const kSavedDone = message_of(msg::read_saved).format;
const char *const kWriteDone = message_of(msg::write_done).format;
const char *const kDownloadDone = message_of(msg::download_summary).format;

struct orvane_run {
  op_outcome outcome;
  std::vector<std::string> lines;
};

void collect(const char *bytes, std::size_t count, void *context) {
  static_cast<std::string *>(context)->append(bytes, count);
}

std::string trimmed(const std::string &line) {
  const std::size_t first = line.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  return line.substr(first, line.find_last_not_of(" \t\r\n") - first + 1);
}

std::string hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", value);
  return text;
}

// Runs Orvane CHIP WORDS... [-u]; done: the completion line's format (nullptr: none needed).
orvane_run run_orvane(const target_link &link, std::vector<std::string> words, const char *done) {
  orvane_run run;
  words.insert(words.begin(), link.chip);
  if (link.usb) words.push_back("-u");
  std::string output;
  const child_result child = run_program(link.program, words, collect, &output);
  if (!child.started) {
    run.outcome.failure = "cannot run " + link.program + ": " + child.error;
    return run;
  }
  bool completed = done == nullptr;
  std::size_t start = 0;
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(start, end - start);
    start = end + 1;
    run.lines.push_back(line);
    const classified_line kind = classify_line(line);
    if ((kind.kind == message_kind::failure || kind.kind == message_kind::refusal) &&
        run.outcome.failure.empty())
      run.outcome.failure = trimmed(line);
    if (done != nullptr && matches_format_line(line, done)) completed = true;
  }
  if (run.outcome.failure.empty() && (!child.ended_normally || child.exit_code != 0))
    run.outcome.failure = "Orvane ended with status " + std::to_string(child.exit_code);
  if (run.outcome.failure.empty() && !completed)
    run.outcome.failure = "Orvane did not report the operation done";
  run.outcome.ok = run.outcome.failure.empty();
  return run;
}

// The program counter of the stop and step lines.
bool pc_of(const orvane_run &run, const char *format, uint32_t *pc) {
  for (const std::string &line : run.lines) {
    unsigned int value = 0;
    if (matches_format_line(line, format) &&
        std::sscanf(line.c_str(), line.find("Stop") != std::string::npos
                                      ? " Stop MCU, PC is : 0x%x"
                                      : " Step MCU, PC is : 0x%x",
                    &value) == 1) {
      *pc = value;
      return true;
    }
  }
  return false;
}

op_outcome with_pc(orvane_run run, const char *format, uint32_t *pc) {
  if (run.outcome.ok && !pc_of(run, format, pc)) {
    run.outcome.ok = false;
    run.outcome.failure = "no program counter in Orvane's line";
  }
  return run.outcome;
}

// A read saved by Orvane into a file of ours (never shown as a dump), then taken from it.
op_outcome read_saved(const target_link &link, const char *word, uint32_t address,
                      uint32_t length, std::vector<uint8_t> *bytes) {
  const std::string file = make_temp_file();
  if (file.empty()) return op_outcome{false, "cannot create a temporary file"};
  orvane_run run = run_orvane(
      link, {word, hex(address), "-s", std::to_string(length), "-o", file}, kSavedDone);
  bytes->clear();
  if (run.outcome.ok) {
    if (std::FILE *in = std::fopen(file.c_str(), "rb")) {
      int c;
      while ((c = std::fgetc(in)) != EOF) bytes->push_back(static_cast<uint8_t>(c));
      std::fclose(in);
    }
    if (bytes->size() != length) run.outcome = op_outcome{false, "the read came back short"};
  }
  std::remove(file.c_str());
  return run.outcome;
}

}  // namespace

op_outcome op_reset(const target_link &link) { return run_orvane(link, {"rst"}, kResetDone).outcome; }

op_outcome op_run(const target_link &link) { return run_orvane(link, {"run"}, kRunDone).outcome; }

op_outcome op_halt(const target_link &link, uint32_t *pc) {
  return with_pc(run_orvane(link, {"stop"}, kStopDone), kStopDone, pc);
}

op_outcome op_step(const target_link &link, uint32_t *pc) {
  return with_pc(run_orvane(link, {"step"}, kStepDone), kStepDone, pc);
}

op_outcome op_set_breakpoints(const target_link &link, const uint32_t addresses[4]) {
  return run_orvane(link,
                    {"bkp", hex(addresses[0]), hex(addresses[1]), hex(addresses[2]),
                     hex(addresses[3])},
                    kBreakpointsDone)
      .outcome;
}

op_outcome op_read_pc(const target_link &link, uint32_t *pc) {
  std::vector<uint8_t> bytes;
  const op_outcome read = read_saved(link, "rc", kProgramCounter, 4, &bytes);
  if (read.ok)
    *pc = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
          uint32_t(bytes[3]) << 24;
  return read;
}

op_outcome op_read_core(const target_link &link, uint32_t address, uint32_t length,
                        std::vector<uint8_t> *bytes) {
  return read_saved(link, "rc", address, length, bytes);
}

op_outcome op_read_flash(const target_link &link, uint32_t address, uint32_t length,
                         std::vector<uint8_t> *bytes) {
  return read_saved(link, "rf", address, length, bytes);
}

op_outcome op_write_core(const target_link &link, uint32_t address,
                         const std::vector<uint8_t> &bytes) {
  // Up to four bytes per run, as one data word whose lowest byte goes first.
  for (std::size_t at = 0; at < bytes.size(); at += kLargestWrite) {
    const std::size_t count = bytes.size() - at < kLargestWrite ? bytes.size() - at : kLargestWrite;
    uint32_t word = 0;
    for (std::size_t i = 0; i < count; ++i) word |= uint32_t(bytes[at + i]) << (8 * i);
    const orvane_run run = run_orvane(
        link, {"wc", hex(address + uint32_t(at)), hex(word), "-s", std::to_string(count)},
        kWriteDone);
    if (!run.outcome.ok) return run.outcome;
  }
  return op_outcome{true, ""};
}

op_outcome op_download(const target_link &link, const std::string &path, uint32_t address) {
  return run_orvane(link, {"wf", hex(address), "-i", path}, kDownloadDone).outcome;
}

op_outcome op_where(const target_link &link, std::string *lines) {
  const orvane_run run = run_orvane(link, {"pc", "-i", link.listing}, nullptr);
  lines->clear();
  if (!run.outcome.ok) return run.outcome;
  for (const std::string &line : run.lines) {
    std::string shown = line;
    if (!shown.empty() && shown.back() == '\r') shown.pop_back();
    if (!trimmed(shown).empty()) *lines += shown + "\n";
  }
  return run.outcome;
}

op_outcome op_uart(std::string *bytes) {
  static dn_handle_t handle = 0;
  static unsigned char buffer[2048];  // what one read may deliver
  bytes->clear();
  if (handle == 0) handle = GetPrintDeviceHandle(0xffff);
  if (handle == 0) return op_outcome{false, "no device for the UART"};
  for (;;) {
    const int got = ReadUartMem(handle, buffer);
    if (got < 0) {
      handle = 0;  // gone: look for the device again next time
      return op_outcome{false, "the UART read failed"};
    }
    if (got == 0) return op_outcome{true, ""};
    bytes->append(reinterpret_cast<const char *>(buffer), static_cast<std::size_t>(got));
  }
}
