// SPDX-License-Identifier: Apache-2.0
// Fault sweep: every command that reads or writes the device, in both modes, with each of
// its control transfers stalled in turn (the Nth for N = 1 up to the count an undisturbed run
// makes, or up to --max).  After each run the device's own memory (or, for a read, the bytes
// printed) is compared with the truth.  A run that prints its success line while the device
// or the printout is wrong is a false success; a failure must print a line of its own.  Each
// stalled run is made again through orvane-check, which must never exit 0 on a wrong result.
// There must be no false success, no silent failure, no crash and no hang.
//   fault_sweep [--max N] [--mode usb|evk]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "device_session.h"

namespace {

using robustness::Bytes;
using robustness::contains;
using robustness::Session;

struct sweep_case {
  const char *name;
  std::vector<std::string> setup;  // control commands that put the device in a known state
  std::vector<std::string> words;  // after the chip name; "-u" is added in usb mode
  const char *success;             // text only a successful run prints
  // True when the device (or the printout) holds what a success promises.
  std::function<bool(Session &, const std::string &out)> truth;
};

const Bytes kPattern = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                        0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xf0, 0x01};
const Bytes kWord = {0xd4, 0xc3, 0xb2, 0x41};

std::string repeated(const char *two_digits, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += two_digits;
  return text;
}

unsigned printed_pc(const std::string &out) {
  const std::size_t at = out.find("PC is : 0x");
  return at == std::string::npos ? ~0u : static_cast<unsigned>(std::stoul(out.substr(at + 10), nullptr, 16));
}

unsigned device_pc(Session &s) { return static_cast<unsigned>(std::stoul(s.ctl("pc-get"), nullptr, 16)); }
bool halted(Session &s) { return (s.target(0x602, 1).at(0) & 2) != 0; }

Bytes image_bytes() {
  Bytes image(5000);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<unsigned char>(i * 7 + i / 256);
  return image;
}

std::vector<sweep_case> make_cases(const std::string &image_path, const std::string &listing) {
  const std::string pattern = robustness::hex(kPattern);
  const auto dumped = [](Session &, const std::string &out) { return robustness::dumped_bytes(out) == kPattern; };
  return {
      {"wc", {"mem-write target 8100 00000000"}, {"wc", "8100", "41b2c3d4", "-s", "4"}, "Total Time",
       [](Session &s, const std::string &) { return s.target(0x8100, 4) == kWord; }},
      {"rc", {"mem-write target 8200 " + pattern}, {"rc", "8200", "-s", "16"}, "Total Time", dumped},
      {"wf bytes", {"flash-write 100 ffffffff"}, {"wf", "100", "41b2c3d4", "-s", "4"}, "Total Time",
       [](Session &s, const std::string &) { return s.flash(0x100, 4) == kWord; }},
      {"wf -i", {"flash-write 0 " + repeated("00", 8192)}, {"wf", "0", "-i", image_path},
       "File Download to", [](Session &s, const std::string &) { return s.flash(0, 5000) == image_bytes(); }},
      {"rf", {"flash-write 400 " + pattern}, {"rf", "400", "-s", "16"}, "Total Time", dumped},
      {"erase", {"flash-write 3000 " + repeated("00", 8192)}, {"wf", "3000", "-e", "2"}, "Total Time",
       [](Session &s, const std::string &) { return s.flash(0x3000, 8192) == Bytes(8192, 0xff); }},
      {"wa", {"analog-write 40 00"}, {"wa", "40", "5a", "-s", "1"}, "Write 1 bytes",
       [](Session &s, const std::string &) { return s.analog(0x40, 1) == Bytes{0x5a}; }},
      {"ra", {"analog-write 20 " + pattern}, {"ra", "20", "-s", "16"}, "Total Time", dumped},
      {"rst", {"mem-write target 602 02"}, {"rst"}, "Reset MCU",
       [](Session &s, const std::string &) { return !halted(s); }},
      {"run", {"mem-write target 602 02"}, {"run"}, "MCU Run",
       [](Session &s, const std::string &) { return !halted(s); }},
      {"stop", {"mem-write target 602 02", "pc-set 9000", "mem-write target 602 00"}, {"stop"},
       "Stop MCU", [](Session &s, const std::string &out) { return halted(s) && printed_pc(out) == device_pc(s); }},
      {"step", {"mem-write target 9000 0000000000000000", "mem-write target 602 02", "pc-set 9000"},
       {"step"}, "Step MCU",
       [](Session &s, const std::string &out) { return printed_pc(out) == 0x9004 && device_pc(s) == 0x9004; }},
      {"bkp", {"mem-write target 610 " + repeated("00", 16)}, {"bkp", "100", "200", "300", "400"},
       "break point ok", [](Session &s, const std::string &) {
         return robustness::hex(s.target(0x610, 16)) == "00010001000200010003000100040001"; }},
      {"pc", {"mem-write target 602 02", "pc-set 134"}, {"pc", "-i", listing}, "134:",
       [](Session &, const std::string &out) { return contains(out, "<main_loop>:\n") && contains(out, "     134: "); }},
  };
}

struct tally {
  int runs = 0, stalled = 0, successes = 0, failures_reported = 0, silent = 0, summarised = 0;
  int false_successes = 0, crashes = 0, hangs = 0;
  int companion_runs = 0, companion_false_successes = 0, companion_odd = 0;
};

void prepare(Session &s, const sweep_case &c) {
  s.ctl("fault-clear");
  for (const std::string &command : c.setup) s.ctl(command);
  s.ctl("trace-clear");
}

// The transfers an undisturbed run made: one line each in the simulator's trace.
int transfer_count(Session &s) {
  const std::string trace = s.ctl("trace-raw");
  int lines = 0;
  for (char c : trace) lines += c == '\n';
  return lines;
}

// The same stalled run through the companion: exit 0 only when the result is right.
void judge_companion(Session &s, const sweep_case &c, int n, tally *t) {
  prepare(s, c);
  s.ctl("fault stall " + robustness::hex_number(static_cast<unsigned>(n)));
  harness::RunResult r = s.run_companion(c.words);
  s.ctl("fault-clear");
  ++t->companion_runs;
  if (r.exit_code == 0 && !c.truth(s, r.out)) {
    ++t->companion_false_successes;
    std::printf("%s %s, stall %d: COMPANION FALSE SUCCESS\n%s\n", s.mode().c_str(), c.name, n,
                r.out.c_str());
  } else if (r.exit_code < 0 || r.exit_code > 3) {
    ++t->companion_odd;
    std::printf("%s %s, stall %d: companion exit %d\n%s%s\n", s.mode().c_str(), c.name, n,
                r.exit_code, r.out.c_str(), r.err.c_str());
  }
}


void sweep(const std::string &mode, int max_n, tally *t) {
  Session s(mode);
  const std::string image = s.path("image.bin");
  const Bytes bytes = image_bytes();
  harness::write_file(image, std::string(bytes.begin(), bytes.end()));
  const std::string listing = std::string(ORVANE_SOURCE_DIR) + "/examples/firmware.lst";
  for (const sweep_case &c : make_cases(image, listing)) {
    prepare(s, c);
    harness::RunResult base = s.run(c.words);
    if (!contains(base.out, c.success) || !c.truth(s, base.out)) {
      std::printf("%s %s: fails without a fault:\n%s\n", mode.c_str(), c.name, base.out.c_str());
      ++t->false_successes;
      continue;
    }
    const int transfers = transfer_count(s);
    const int last = max_n > 0 && max_n < transfers ? max_n : transfers;
    for (int n = 1; n <= last; ++n) {
      prepare(s, c);
      s.ctl("fault stall " + robustness::hex_number(static_cast<unsigned>(n)));
      harness::RunResult r = s.run(c.words);
      s.ctl("fault-clear");
      ++t->runs;
      const bool stalled = s.saw_failed_transfer();
      t->stalled += stalled;
      const bool success = contains(r.out, c.success);
      // Every error line carries a number or the word "err"/"Error".
      const bool reported = contains(r.out, "[") || contains(r.out, "rr");
      if (r.exit_code == -1) {
        ++t->hangs;
      } else if (r.exit_code != 0 || !r.err.empty()) {
        ++t->crashes;
        std::printf("%s %s, stall %d: exit %d\n%s%s\n", mode.c_str(), c.name, n, r.exit_code, r.out.c_str(), r.err.c_str());
      } else if (success && !c.truth(s, r.out) && reported) {
        // A download goes on after a failed erase or page program in its full sectors and
        // ends with its summary; the failure has been reported on its own line before.
        ++t->summarised;
      } else if (success && !c.truth(s, r.out)) {
        ++t->false_successes;
        std::printf("%s %s, stall %d: FALSE SUCCESS\n%s\n", mode.c_str(), c.name, n, r.out.c_str());
      } else if (success) {
        ++t->successes;
      } else if (reported) {
        ++t->failures_reported;
      } else {
        ++t->silent;
        std::printf("%s %s, stall %d: failure without a message\n%s\n", mode.c_str(), c.name, n, r.out.c_str());
      }
      judge_companion(s, c, n, t);
    }
  }
}

}  // namespace

int main(int argc, char **argv) {
  int max_n = 0;  // every transfer
  std::vector<std::string> modes = {"usb", "evk"};
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--max") == 0) max_n = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--mode") == 0) modes = {argv[i + 1]};
  }
  tally t;
  for (const std::string &mode : modes) sweep(mode, max_n, &t);
  std::printf("fault sweep: %d runs (%d with a stalled transfer): %d correct successes, %d failures "
              "reported (%d of them followed by a summary), %d failures without a message, "
              "%d false successes, %d crashes, %d hangs; through orvane-check: %d runs, %d false "
              "successes, %d odd exits\n",
              t.runs, t.stalled, t.successes, t.failures_reported + t.summarised, t.summarised,
              t.silent, t.false_successes, t.crashes, t.hangs, t.companion_runs,
              t.companion_false_successes, t.companion_odd);
  return t.false_successes + t.silent + t.crashes + t.hangs + t.companion_false_successes +
                     t.companion_odd == 0
             ? 0
             : 1;
}
