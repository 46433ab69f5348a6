// SPDX-License-Identifier: Apache-2.0
// What `orvane-check --verify` costs against the download it checks, with the simulator's
// realistic timings (sector erase 40 ms, page program 2 ms, a flash read at once).
//
// The download moves a 256-byte page per program command; the read-back moves 8 bytes per
// flash-writer exchange, so it needs 32 times as many exchanges.  Both figures come from the
// companion's own closing JSON object of one run (command_ms: the download; verify
// elapsed_ms: the read-back and the comparison), so they are measured on the same machine
// at the same time, and the figure that matters is their ratio.
//
// Usage: verify_bench [directory holding orvane-check, Orvane, config.ini, writer/ and
//                      zk32-sim] [image size in KB, default 1024]
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

using bench::read_file;

// The number after "\"name\":" in the closing object (after from), or -1.
double json_number(const std::string &text, const std::string &name, std::size_t from = 0) {
  const std::string key = "\"" + name + "\":";
  const std::size_t at = text.find(key, from);
  if (at == std::string::npos) return -1;
  return std::atof(text.c_str() + at + key.size());
}

}  // namespace

int main(int argc, char **argv) {
  const std::string bin = argc > 1 && argv[1][0] != '\0' ? argv[1] : bench::built_bin_dir();
  const long kilobytes = argc > 2 ? std::atol(argv[2]) : 1024;
  if (kilobytes <= 0 || kilobytes > 1024) {
    std::printf("image size: 1 to 1024 KB\n");
    return 2;
  }
  const std::string work = bench::make_temp_dir("orvane-verify-bench");
  if (work.empty()) return 1;
  const std::string image = work + "/image.bin";
  {
    std::vector<unsigned char> bytes(static_cast<std::size_t>(kilobytes) * 1024);
    for (std::size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = static_cast<unsigned char>(i * 7 + (i >> 8));
    FILE *file = std::fopen(image.c_str(), "wb");
    if (file == nullptr) return 1;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }

  const std::string sim = bin + "/zk32-sim";
  const std::string sim_dir = work + "/sim";
  const std::string log = work + "/sim.log";
  mkdir(sim_dir.c_str(), 0700);
  if (bench::simulator(sim, "start", sim_dir,
                       {"--mode", "usb", "--type", "1", "--timing", "real"}, log) != 0) {
    std::printf("zk32-sim did not start: %s\n", read_file(log).c_str());
    bench::remove_tree(work);
    return 1;
  }
  const std::string out = work + "/out.json";
  const double started = bench::now_ms();
  const int status = bench::run({bin + "/orvane-check", "--json", "--quiet", "--verify", "4710",
                                 "wf", "0", "-i", image, "-u"},
                                sim_dir, out, nullptr, bench::Streams::out);
  const double wall_ms = bench::now_ms() - started;
  bench::simulator(sim, "stop", sim_dir, {}, log);

  const std::string text = read_file(out);
  const std::size_t closing = text.find("{\"outcome\"");
  const double download_ms = json_number(text, "command_ms", closing);
  const double verify_ms = json_number(text, "elapsed_ms", text.find("\"verify\":{", closing));
  if (status != 0 || closing == std::string::npos || download_ms <= 0 || verify_ms <= 0) {
    std::printf("the verified download did not succeed (exit status %d):\n%s\n", status,
                text.c_str());
    bench::remove_tree(work);
    return 1;
  }
  std::printf("%ld KB download to flash with --verify, usb mode, MCU type 1, realistic timings\n",
              kilobytes);
  std::printf("  download  %9.0f ms  (%.1f KB/s)\n", download_ms, kilobytes * 1000.0 / download_ms);
  std::printf("  verify    %9.0f ms  (%.1f KB/s)\n", verify_ms, kilobytes * 1000.0 / verify_ms);
  std::printf("  ratio verify / download: %.2f\n", verify_ms / download_ms);
  std::printf("  whole companion run: %.0f ms\n", wall_ms);
  bench::remove_tree(work);
  return 0;
}
