// SPDX-License-Identifier: Apache-2.0
// zk32-sim replay: the captured requests, in order, to a fresh device in zero timing on the
// capture's own clock, each answer compared with the captured one.
//
// Zero timing finishes every timed action at once, so a capture of a device that took its
// time shows polls the model answers "done" sooner.  An answer that differs where the bytes
// depend on when they were read (a running core's program counter, busy bits, completion
// and acknowledge words, the activation status) is set aside with its reason instead of
// counted as a difference; the same bytes read over Vlane through the EVK staging buffer are
// set aside the same way.
#include <cstdio>
#include <map>
#include <memory>

#include "wire/byte_order.h"
#include "sim/capture_commands.h"
#include "sim/clock.h"
#include "sim/evk_probe.h"
#include "sim/trace_log.h"
#include "sim/vendor_request.h"

namespace zk32sim {

namespace {

struct TimedRange {
  uint32_t first, last;
  const char *why;
};

const TimedRange kTargetTimed[] = {
    {0x6bc, 0x6bf, "program counter of a running core"},
    {0x602, 0x602, "core control status (reset ready, breakpoint halt)"},
    {0xb9, 0xba, "analog window busy bit and data"},
};
// Only an EVK probe activates the chip, which changes the status byte.
constexpr uint32_t kActivationStatus = 0x7f;
// The flash writer's acknowledge byte and command byte (its execute flag), 6 and 7 bytes
// into SRAM.
constexpr uint32_t kMailboxFirst = 6, kMailboxLast = 7;
// The exit status of a replay that compared nothing or read a capture cut short.
constexpr int kReplayIncomplete = 3;

bool within(uint32_t address, uint32_t first, uint32_t last) {
  return address >= first && address <= last;
}

uint32_t sram_base(int mcu_type) { return mcu_type >= 3 ? 0x40000 : 0x8000; }

// Why a target byte may read differently on a later run, or nullptr.
const char *target_timed(uint32_t address, int mcu_type, bool evk) {
  if (evk && address == kActivationStatus) return "activation status";
  for (const TimedRange &t : kTargetTimed) {
    if (within(address, t.first, t.last)) return t.why;
  }
  uint32_t base = sram_base(mcu_type);
  if (within(address, base + kMailboxFirst, base + kMailboxLast)) {
    return "flash-writer acknowledge and command byte";
  }
  return nullptr;
}

struct Difference {
  size_t index = 0;
  const CapturedTransfer *transfer = nullptr;
  bool sim_ok = false;
  std::vector<uint8_t> sim_in;
  size_t offset = 0;  // the first differing byte that is not a timed one
};

// The replayed device's time: the capture's own, so that what happens between two requests
// (a running core's progress) does not depend on how fast the replay runs.
class CaptureClock : public Clock {
 public:
  double now_ms() const override { return now_; }
  void set(double ms) { now_ = ms > now_ ? ms : now_; }  // never backwards

 private:
  double now_ = 0;
};

class Replay {
 public:
  explicit Replay(const Options &options) : options_(options) {
    options_.zero_timing = true;
    options_.clock = &clock_;
    device_ = Device::create(options_);
  }
  bool ready() const { return device_ != nullptr; }
  void run(const std::vector<CapturedTransfer> &transfers);
  int report(FILE *out) const;

 private:
  void one(size_t index, const CapturedTransfer &t);
  const char *timed_byte(const VendorRequest &r, size_t offset) const;
  const char *only_timed(const CapturedTransfer &t, const std::vector<uint8_t> &captured,
                         bool sim_ok, const std::vector<uint8_t> &answer,
                         size_t *offset) const;
  void note_evk_command(const CapturedTransfer &t);

  Options options_;
  CaptureClock clock_;
  std::unique_ptr<Device> device_;
  size_t total_ = 0, agree_ = 0, differ_ = 0;
  std::map<std::string, size_t> skipped_;
  Difference first_;
  // The target address the staging buffer holds since the last Vlane read, if one was taken.
  bool staging_filled_ = false;
  uint32_t staging_target_ = 0;
};

void Replay::run(const std::vector<CapturedTransfer> &transfers) {
  for (size_t i = 0; i < transfers.size(); ++i) {
    clock_.set(transfers[i].submit_ms - transfers[0].submit_ms);
    one(i + 1, transfers[i]);
  }
}

void Replay::one(size_t index, const CapturedTransfer &t) {
  ++total_;
  if (t.complete_frame == 0) {
    ++skipped_["no answer in the capture"];
    return;
  }
  std::vector<uint8_t> answer;
  bool sim_ok;
  if (t.stream) {
    answer.resize(t.asked < 0x10000 ? t.asked : 0x10000);
    int got = device_->bulk_in(answer.data(), answer.size());
    sim_ok = got >= 0;
    answer.resize(got > 0 ? size_t(got) : 0);
  } else {
    answer.resize(t.setup.length);
    int got = device_->control(t.setup, t.out.data(), t.out.size(), answer.data());
    sim_ok = got >= 0;
    bool in = (t.setup.request_type & 0x80) != 0;
    answer.resize(in && got > 0 ? size_t(got) : 0);
  }
  if (t.ok) note_evk_command(t);
  std::vector<uint8_t> captured = t.ok ? t.in : std::vector<uint8_t>();
  if (sim_ok == t.ok && answer == captured) {
    ++agree_;
    return;
  }
  size_t offset = 0;
  if (const char *why = only_timed(t, captured, sim_ok, answer, &offset)) {
    ++skipped_[why];
    return;
  }
  if (differ_++ == 0) first_ = Difference{index, &t, sim_ok, answer, offset};
}

// The reason when the answers differ only in bytes that depend on time; else nullptr, and
// *offset is where they first differ otherwise.
const char *Replay::only_timed(const CapturedTransfer &t, const std::vector<uint8_t> &captured,
                               bool sim_ok, const std::vector<uint8_t> &answer,
                               size_t *offset) const {
  if (t.stream) return "data stream (what the target sent)";
  size_t common = captured.size() < answer.size() ? captured.size() : answer.size();
  VendorRequest r;
  bool read = decode_vendor_request(t.setup, t.out.data(), t.out.size(), &r) && !r.is_write;
  const char *why = nullptr;
  for (size_t i = 0; i < common; ++i) {
    if (captured[i] == answer[i]) continue;
    why = read ? timed_byte(r, i) : nullptr;
    if (!why) {
      *offset = i;
      return nullptr;
    }
  }
  *offset = common;
  return sim_ok == t.ok && answer.size() == captured.size() ? why : nullptr;
}

// Why byte `offset` of the answer to the read r may differ on a later run, or nullptr.
const char *Replay::timed_byte(const VendorRequest &r, size_t offset) const {
  uint32_t address = r.fixed ? r.address : uint32_t(r.address + offset);
  if (options_.mode != "evk") return target_timed(address, options_.mcu_type, false);
  if (within(address, kCompletionWord, kStatusWord + 3)) return "EVK completion and status words";
  if (staging_filled_ && within(address, kStagingBuffer, kStagingBuffer + kStagingSize - 1)) {
    return target_timed(staging_target_ + (address - kStagingBuffer), options_.mcu_type, true);
  }
  return nullptr;
}

// An EVK command taken from a captured write: a target read over Vlane fills the staging
// buffer with bytes that may be timed ones.
void Replay::note_evk_command(const CapturedTransfer &t) {
  if (options_.mode != "evk") return;
  VendorRequest r;
  if (!decode_vendor_request(t.setup, t.out.data(), t.out.size(), &r) || !r.is_write ||
      r.fixed || r.address > kCommandBlock || r.address + r.count < kControlByte + 1) {
    return;
  }
  const uint8_t *block = r.data + (kCommandBlock - r.address);
  staging_filled_ = (load_le32(block + 4) >> 16) == 0xC100;
  staging_target_ = load_le32(block);
}

// The answer as text; a long one only around the offset where the answers part.
std::string answer_text(bool ok, bool in, const std::vector<uint8_t> &bytes, size_t offset) {
  constexpr size_t kShown = 32, kBefore = 8;
  if (!ok) return "stall";
  if (!in) return "accepted";
  if (bytes.empty()) return "(no bytes)";
  if (bytes.size() <= kShown) return hex_bytes(bytes.data(), bytes.size());
  size_t start = offset > kBefore ? offset - kBefore : 0;
  if (start > bytes.size() - kShown) start = bytes.size() - kShown;
  std::string text = start > 0 ? "... (from offset " + std::to_string(start) + ") " : "";
  text += hex_bytes(bytes.data() + start, kShown);
  if (start + kShown < bytes.size()) text += " ...";
  return text + " (" + std::to_string(bytes.size()) + " bytes)";
}

// "vendor read (short layout) at 0x6bc, 4 bytes" and the like.
std::string describe(const CapturedTransfer &t) {
  if (t.stream) return "data-stream read of " + std::to_string(t.asked) + " bytes";
  VendorRequest r;
  if (!decode_vendor_request(t.setup, t.out.data(), t.out.size(), &r)) {
    return "control transfer " + raw_transfer_line(t.setup, nullptr, 0, nullptr, 0);
  }
  char text[128];
  snprintf(text, sizeof text, "vendor %s (%s layout%s) at 0x%x, %zu bytes",
           r.is_write ? "write" : "read", r.long_layout ? "long" : "short",
           r.fixed ? ", fixed address" : "", r.address, r.count);
  return text;
}

int Replay::report(FILE *out) const {
  if (differ_ > 0) {
    const CapturedTransfer &t = *first_.transfer;
    bool in = t.stream || (t.setup.request_type & 0x80) != 0;
    std::vector<uint8_t> captured = t.ok ? t.in : std::vector<uint8_t>();
    fprintf(out, "first difference: request %zu (frames %zu-%zu): %s\n", first_.index,
            t.submit_frame, t.complete_frame, describe(t).c_str());
    if (t.ok && first_.sim_ok && in) {
      fprintf(out, "  first differing offset: %zu\n", first_.offset);
    } else {
      fprintf(out, "  the outcome differs\n");
    }
    fprintf(out, "  captured:  %s\n", answer_text(t.ok, in, captured, first_.offset).c_str());
    fprintf(out, "  simulated: %s\n", answer_text(first_.sim_ok, in, first_.sim_in, first_.offset).c_str());
  }
  size_t skipped = total_ - agree_ - differ_;
  fprintf(out, "replay: %zu requests, %zu agree, %zu differ, %zu skipped\n", total_, agree_,
          differ_, skipped);
  for (const auto &reason : skipped_) {
    fprintf(out, "  skipped %zu: %s\n", reason.second, reason.first.c_str());
  }
  if (differ_ > 0) return 1;
  // A capture with nothing to compare proves nothing: it must not pass as agreement.
  if (agree_ == 0) {
    fprintf(out, "replay: nothing was compared\n");
    return kReplayIncomplete;
  }
  return 0;
}

}  // namespace

int replay_capture(const std::string &path, const Options &options, FILE *out) {
  Replay replay(options);
  if (!replay.ready()) {
    fprintf(stderr, "zk32-sim: bad device options (mode usb|evk, type 1..4)\n");
    return 2;
  }
  Capture capture;
  std::string error;
  if (!read_capture(path, &capture, &error)) {
    fprintf(stderr, "zk32-sim: %s\n", error.c_str());
    return 2;
  }
  if (capture.cut_short) fprintf(stderr, "zk32-sim: %s ends inside a record\n", path.c_str());
  replay.run(capture.transfers);
  int status = replay.report(out);
  // What came after the cut was never compared.
  return status == 0 && capture.cut_short ? kReplayIncomplete : status;
}

}  // namespace zk32sim
