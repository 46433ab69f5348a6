// SPDX-License-Identifier: Apache-2.0
#include "engine_fixture.h"

#include <cstdio>
#include <sstream>

#include "in_process.h"

namespace engine_test {

const char kTotal[] = "\n Total Time: # ms \t\n";
const char kUsbOk[] = " ZK32 USB : USB OK \t\n";
const char kEvkOk[] = " ZK32 EVK : Vlane OK \t\n";

namespace {

// The writer file of the first row of the shipped config.ini whose type is in the family.
std::string shipped_writer(bool family34) {
  std::istringstream in(harness::read_file(harness::built_program_dir() + "/config.ini"));
  std::string line;
  std::string fallback;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::vector<std::string> w;
    std::string word;
    while (words >> word) w.push_back(word);
    if (w.size() < 6 || w[0] != "MCU" || w[3] != "=") continue;
    long type = std::strtol(w[1].c_str(), nullptr, 16);
    bool row34 = type == 3 || type == 4;
    if (row34 == family34) return w[5];
    if (fallback.empty()) fallback = w[5];
  }
  return fallback;
}

}  // namespace

std::string test_config(const std::string &extra_rows) {
  std::string config = "[MCU]\n";
  for (int type = 1; type <= 5; ++type) {
    config += "MCU " + std::to_string(type) + " chip = t" + std::to_string(type) + " " +
              shipped_writer(type == 3 || type == 4) + " end\n";
  }
  return config + extra_rows;
}

std::string progress(int bytes) {
  return " " + std::to_string(bytes) + " \t bytes have finished! \t\n";
}

std::string dump(uint32_t address, const std::vector<unsigned char> &bytes) {
  std::string out;
  char piece[32];
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) {
      std::snprintf(piece, sizeof piece, "\n %.6x: ", static_cast<unsigned>(address + i));
      out += piece;
    }
    if (i % 8 == 0) out += " ";
    std::snprintf(piece, sizeof piece, "%.2x ", bytes[i]);
    out += piece;
  }
  return out;
}

void EngineTest::start(const std::string &sim_options, const std::string &extra_rows) {
  std::string options = sim_options;
  if (options.find("--timing") == std::string::npos) options += " --timing zero";
  sim = std::make_unique<harness::Simulator>(options);
  install = std::make_unique<harness::Install>(test_config(extra_rows));
  ASSERT_TRUE(sim->running());
}

harness::RunResult EngineTest::run(const std::vector<std::string> &args) {
  harness::RunResult result = harness::run_orvane(*install, args, sim.get());
  result.out = harness::mask_times(result.out);
  EXPECT_EQ(result.err, "");
  return result;
}

harness::RunResult EngineTest::run_here(const std::vector<std::string> &args) {
  harness::RunResult result = harness::run_orvane_here(*install, args, *sim);
  result.out = harness::mask_times(result.out);
  return result;
}

std::vector<std::string> EngineTest::trace_with(const std::string &prefix) {
  std::vector<std::string> lines;
  for (const auto &line : trace()) {
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
  }
  return lines;
}

namespace {

bool is_transfer(const std::string &line) {
  return line.compare(0, 2, "w ") == 0 || line.compare(0, 2, "r ") == 0;
}

}  // namespace

harness::RunResult EngineTest::run_failing(const std::vector<std::string> &args,
                                           const std::string &line) {
  ctl("trace-clear");
  run(args);
  int position = 0;  // of `line` among the transfers of the clean run, from 1
  int number = 0;
  for (const auto &entry : trace()) {
    if (!is_transfer(entry)) continue;
    ++number;
    if (entry == line) {
      position = number;
      break;
    }
  }
  EXPECT_GT(position, 0) << "no transfer '" << line << "' in a clean run";
  if (position > 0) {
    char count[16];
    std::snprintf(count, sizeof count, "%x", position);  // the control language counts in hex
    ctl(std::string("fault stall ") + count);
    ctl("trace-clear");
    harness::RunResult result = run(args);
    // Only a run in which exactly that transfer failed is the one asked for.
    std::istringstream raw(ctl("trace-raw"));
    std::string entry;
    for (int n = 1; std::getline(raw, entry); ++n) {
      if (entry.find(" stall") == std::string::npos) continue;
      if (n == position) return result;
      break;
    }
  }
  ADD_FAILURE() << "could not make '" << line << "' fail";
  return {};
}

}  // namespace engine_test
