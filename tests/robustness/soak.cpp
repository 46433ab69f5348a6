// SPDX-License-Identifier: Apache-2.0
// Soak: seeded random operations against one simulated device while faults are switched on
// and off.  The program keeps a model of a window of SRAM, flash and analog registers: after
// a faulty operation the model is taken again from the device; after a fault-free write the
// device must hold what was written, and every fault-free read must print what the model
// holds.  No run may crash or outlive its time limit.
//   soak [--seed S] [--ops N] [--mode usb|evk]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "device_session.h"

namespace {

using robustness::Bytes;
using robustness::contains;
using robustness::hex_number;
using robustness::Session;

constexpr unsigned kSram = 0x9100, kSramSize = 64;  // clear of the flash writer at 0x8000
constexpr unsigned kFlashSize = 0x4000;
constexpr unsigned kAnalog = 0x40, kAnalogSize = 16;

struct counts {
  int ops = 0, faulted = 0, reads_checked = 0, writes_checked = 0;
  int mismatches = 0, unexpected_failures = 0, timeouts = 0, crashes = 0, hangs = 0;
};

class Soak {
 public:
  Soak(const std::string &mode, unsigned seed) : s_(mode), random_(seed) {
    image_path_ = s_.path("soak.bin");
    resync();
  }

  void step(counts *c) {
    const bool faulty = pick(4) == 0;
    if (faulty) arm_fault();
    const unsigned op = pick(9);
    if (std::getenv("SOAK_TRACE")) std::printf("op %u faulty %d\n", op, faulty);
    harness::RunResult r;
    std::string expected_success;
    switch (op) {
      case 0: r = write_sram(&expected_success); break;
      case 1: r = read_back("rc", kSram, kSramSize, sram_, &expected_success); break;
      case 2: r = program_flash(&expected_success); break;
      case 3: r = erase_sector(&expected_success); break;
      case 4: r = download(&expected_success); break;
      case 5: r = read_back("rf", 0, kFlashSize, flash_, &expected_success); break;
      case 6: r = write_analog(&expected_success); break;
      case 7: r = read_back("ra", kAnalog, kAnalogSize, analog_, &expected_success); break;
      default: r = run_control(&expected_success); break;
    }
    ++c->ops;
    if (r.exit_code == -1) ++c->hangs;
    else if (r.exit_code >= 128 || !r.err.empty()) ++c->crashes, report("crash", r);
    if (faulty) {
      ++c->faulted;
      s_.ctl("fault-clear");
      s_.ctl("set timing zero");
      resync();
      return;
    }
    if (!contains(r.out, expected_success) && contains(r.out, "timeout")) {
      // A time limit of the program (100 ms for an analog command) passed on a loaded machine.
      ++c->timeouts;
      resync();
      return;
    }
    if (!contains(r.out, expected_success)) {
      ++c->unexpected_failures;
      report("fault-free operation failed", r);
      resync();
      return;
    }
    if (op == 1 || op == 5 || op == 7) {
      ++c->reads_checked;
      if (robustness::dumped_bytes(r.out) != last_expected_) ++c->mismatches, report("read-back differs", r);
    } else if (op != 8) {
      ++c->writes_checked;
      if (!device_matches()) ++c->mismatches, report("device differs after a write", r), resync();
    }
  }

 private:
  unsigned pick(unsigned n) { return static_cast<unsigned>(random_() % n); }
  unsigned data_word() { return static_cast<unsigned>(random_() & 0x7fffffff); }

  void arm_fault() {
    static const char *const kFaults[] = {"stall", "pieces 3", "writer-bad-ack", "read-fail 0",
                                          "write-fail 0", "analog-busy", "vanish", "vlane-broken"};
    std::string fault = kFaults[pick(8)];
    if (fault == "stall") fault += " " + std::to_string(1 + pick(40));
    if (fault == "read-fail 0") fault = "read-fail " + hex_number(kSram + pick(kSramSize)) + " 1";
    if (fault == "write-fail 0") fault = "write-fail " + hex_number(0xb8 + pick(3)) + " 1";
    if (fault == "vlane-broken" && s_.mode() != "evk") fault = "writer-stuck";
    if (fault == "analog-busy") {
      s_.ctl("set analog-busy-ms never");
      return;
    }
    s_.ctl("fault " + fault);
  }

  void resync() {
    sram_ = s_.target(kSram, kSramSize);
    flash_ = s_.flash(0, kFlashSize);
    analog_ = s_.analog(kAnalog, kAnalogSize);
    if (sram_.size() != kSramSize || flash_.size() != kFlashSize || analog_.size() != kAnalogSize) {
      std::printf("the simulator no longer answers\n");
      std::exit(1);
    }
  }

  bool device_matches() {
    return s_.target(kSram, kSramSize) == sram_ && s_.flash(0, kFlashSize) == flash_ &&
           s_.analog(kAnalog, kAnalogSize) == analog_;
  }

  // A range inside a window of the given size: start offset and 1..most bytes.
  void range(unsigned window, unsigned most, unsigned *offset, unsigned *size) {
    *size = 1 + pick(most < window ? most : window);
    *offset = pick(window - *size + 1);
  }

  harness::RunResult write_sram(std::string *success) {
    unsigned offset, size, data = data_word();
    range(kSramSize, 4, &offset, &size);
    for (unsigned i = 0; i < size; ++i) sram_[offset + i] = static_cast<unsigned char>(data >> (8 * i));
    *success = "Total Time";
    return s_.run({"wc", hex_number(kSram + offset), hex_number(data), "-s", std::to_string(size)});
  }

  harness::RunResult program_flash(std::string *success) {
    unsigned offset, size, data = data_word();
    range(kFlashSize, 4, &offset, &size);
    // Programming only clears bits.
    for (unsigned i = 0; i < size; ++i) flash_[offset + i] &= static_cast<unsigned char>(data >> (8 * i));
    *success = "Total Time";
    return s_.run({"wf", hex_number(offset), hex_number(data), "-s", std::to_string(size)});
  }

  harness::RunResult erase_sector(std::string *success) {
    const unsigned sector = pick(kFlashSize / 4096);
    std::fill(flash_.begin() + sector * 4096, flash_.begin() + (sector + 1) * 4096, 0xff);
    *success = "Total Time";
    return s_.run({"wf", hex_number(sector * 4096), "-e", "1"});
  }

  harness::RunResult download(std::string *success) {
    const unsigned sector = pick(kFlashSize / 4096 - 1);
    const unsigned size = 1 + pick(kFlashSize - sector * 4096 - 4096);
    std::string image(size, '\0');
    for (char &byte : image) byte = static_cast<char>(random_());
    harness::write_file(image_path_, image);
    const unsigned erased = (size + 4095) / 4096 * 4096;
    std::fill(flash_.begin() + sector * 4096, flash_.begin() + sector * 4096 + erased, 0xff);
    std::copy(image.begin(), image.end(), flash_.begin() + sector * 4096);
    *success = "File Download to";
    return s_.run({"wf", hex_number(sector * 4096), "-i", image_path_});
  }

  harness::RunResult write_analog(std::string *success) {
    unsigned offset, size, data = data_word();
    range(kAnalogSize, 4, &offset, &size);
    for (unsigned i = 0; i < size; ++i) analog_[offset + i] = static_cast<unsigned char>(data >> (8 * i));
    *success = "Write " + std::to_string(size) + " bytes";
    return s_.run({"wa", hex_number(kAnalog + offset), hex_number(data), "-s", std::to_string(size)});
  }

  // Reads a range of a window and remembers what the model says it must print.
  harness::RunResult read_back(const char *word, unsigned base, unsigned window, const Bytes &model,
                               std::string *success) {
    unsigned offset, size;
    range(window, 64, &offset, &size);
    last_expected_.assign(model.begin() + offset, model.begin() + offset + size);
    *success = "Total Time";
    return s_.run({word, hex_number(base + offset), "-s", std::to_string(size)});
  }

  harness::RunResult run_control(std::string *success) {
    static const char *const kWords[][2] = {
        {"rst", "Reset MCU"}, {"run", "MCU Run"}, {"stop", "Stop MCU"}, {"step", "Step MCU"}};
    const unsigned k = pick(5);
    if (k == 4) {
      *success = "break point ok";
      return s_.run({"bkp", "0", "0", "0", "0"});
    }
    *success = kWords[k][1];
    return s_.run({kWords[k][0]});
  }

  void report(const char *what, const harness::RunResult &r) {
    std::printf("%s (%s): exit %d\n%s%s\n", what, s_.mode().c_str(), r.exit_code, r.out.c_str(),
                r.err.c_str());
  }

  Session s_;
  std::mt19937 random_;
  std::string image_path_;
  Bytes sram_, flash_, analog_, last_expected_;
};

}  // namespace

int main(int argc, char **argv) {
  unsigned seed = 1;
  int ops = 200;
  std::string mode = "usb";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--seed") == 0) seed = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 0));
    if (std::strcmp(argv[i], "--ops") == 0) ops = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--mode") == 0) mode = argv[i + 1];
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  counts c;
  const auto start = std::chrono::steady_clock::now();
  {
    Soak soak(mode, seed);
    for (int i = 0; i < ops; ++i) soak.step(&c);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("soak (%s, seed %u): %d operations (%d with a fault) in %.1f s, %.1f operations/s: "
              "%d reads and %d writes checked, %d mismatches, %d fault-free failures, "
              "%d time-outs, %d crashes, %d hangs\n",
              mode.c_str(), seed, c.ops, c.faulted, seconds, c.ops / seconds, c.reads_checked,
              c.writes_checked, c.mismatches, c.unexpected_failures, c.timeouts, c.crashes,
              c.hangs);
  return c.mismatches + c.unexpected_failures + c.crashes + c.hangs == 0 ? 0 : 1;
}
