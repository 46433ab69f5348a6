// SPDX-License-Identifier: Apache-2.0
// The built orvane-check against the simulator: its exit status for each way a run can go,
// the verify read-back, finding Orvane, and --json read by a real JSON parser.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "harness.h"
#include "support/shell_command.h"

namespace fs = std::filesystem;

namespace {

// An installed program with the companion beside it, and a 5000-byte image.
struct CompanionInstall {
  harness::Install install;
  std::string companion = install.path("orvane-check");
  std::string image = install.path("image.bin");
  CompanionInstall() {
    std::error_code ec;
    fs::copy_file(ORVANE_CHECK_PROGRAM, companion, ec);
    EXPECT_FALSE(ec) << ec.message();
    std::string bytes;
    for (int i = 0; i < 5000; ++i) bytes += static_cast<char>((i * 7 + i / 256) & 0xff);
    harness::write_file(image, bytes);
  }
  harness::RunResult run(const std::vector<std::string> &args, const harness::Simulator *sim,
                         const std::string &program = std::string()) {
    std::vector<std::string> argv = {program.empty() ? companion : program};
    for (const std::string &a : args) argv.push_back(a == "IMAGE" ? image : a);
    return harness::run_with_devices(install, argv, sim);
  }
};

TEST(Companion, ExitStatusSaysHowTheRunWent) {
  struct Case {
    const char *name;
    const char *fault;  // simulator fault, "" for none, nullptr for no device at all
    std::vector<std::string> args;
    int status;
    const char *shows;  // in standard output (or error for the companion's own complaints)
  };
  const Case cases[] = {
      {"download and verify", "", {"--verify", "4710", "wf", "0", "-i", "IMAGE", "-u"}, 0,
       "orvane-check: verify: 5000 bytes identical"},
      {"no device", nullptr, {"4710", "rst", "-u"}, 1, " [42]: no usb device!\n"},
      {"missing image", "", {"4710", "wf", "0", "-i", "/nonexistent/x.bin", "-u"}, 1,
       " [138]: open .bin file err!"},
      {"flash-writer time-out", "writer-stuck", {"4710", "wf", "0", "-e", "1", "-u"}, 1,
       " [167]: wait for ack timeout: 2000 ms"},
      {"refused line (Orvane exits 1)", "", {"4710", "wf"}, 2, " [9]: wf cmd err!\n"},
      {"refused line (Orvane exits 0)", "", {"4710", "wc", "4000", "0", "-i", "IMAGE", "-u"}, 2,
       " [20]: invalid sram download address of wc!"},
      {"verify finds a planted difference", "program-corrupt 123",
       {"--verify", "4710", "wf", "0", "-i", "IMAGE", "-u"}, 3,
       "orvane-check: verify: 1 of 5000 bytes differ, the first at 0x000123"},
      {"verify of no download", "", {"--verify", "4710", "rst", "-u"}, 2, ""},
      {"another chip attached than the one named", "", {"4715", "wf", "0", "-e", "1", "-u"}, 1,
       "orvane-check: hint: the attached chip reports identity 0x00004710 (chip 4710), not the "
       "0x00004715 of chip 4715"},
      {"own option wrong", "", {"--bogus", "4710", "rst", "-u"}, 2, ""},
      {"Orvane missing", "", {"--orvane", "/nonexistent/Orvane", "4710", "rst", "-u"}, 4, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    CompanionInstall setup;
    std::unique_ptr<harness::Simulator> sim;
    if (c.fault != nullptr) {
      sim.reset(new harness::Simulator("--mode usb --type 1"));
      if (*c.fault != '\0') sim->ctl(std::string("fault ") + c.fault);
    }
    const harness::RunResult r = setup.run(c.args, sim.get());
    EXPECT_EQ(r.exit_code, c.status) << r.out << r.err;
    EXPECT_NE(r.out.find(c.shows), std::string::npos) << r.out;
    // Only the companion's own complaints go to standard error.
    if (c.status < 2) {
      EXPECT_EQ(r.err, "");
    }
  }
}

// Success needs the line that finishes the command: a program that stops early, says
// something unknown or only reports progress never passes, and a verify whose read-back did
// not finish is a failure, not a difference in the flash.
TEST(Companion, SucceedsOnlyOnTheCompletionLineOfItsCommand) {
  struct Case {
    const char *name;
    const char *script;  // the fake Orvane's body: $2 is the command word
    std::vector<std::string> args;
    int status;
  };
  const char *kDownloaded = "printf ' File Download to 0x000000: 5000 bytes \\t\\n'";
  const Case cases[] = {
      {"prints nothing", "true", {"4710", "rst", "-u"}, 1},
      {"unlisted numbered line", "printf ' [999]: done\\n'", {"4710", "rst", "-u"}, 1},
      {"only progress", "printf ' Flash Page Program at address 0 \\t\\n'",
       {"4710", "wf", "0", "-i", "IMAGE", "-u"}, 1},
      {"another command's completion", "printf ' Reset MCU \\n'", {"4710", "wf", "0", "-e", "1"}, 1},
      {"its completion", "printf ' Reset MCU \\n'", {"4710", "rst", "-u"}, 0},
      {"unknown command word", "printf ' Reset MCU \\n'", {"4710", "flash", "0", "-i", "IMAGE"}, 2},
      {"verify, read-back stops silently", kDownloaded,
       {"--verify", "4710", "wf", "0", "-i", "IMAGE", "-u"}, 1},
      {"verify, read-back fails",
       "if [ \"$2\" = rf ]; then printf ' [66]: read flash err!\\t\\n'; else printf ' File "
       "Download to 0x000000: 5000 bytes \\t\\n'; fi",
       {"--verify", "4710", "wf", "0", "-i", "IMAGE", "-u"}, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    CompanionInstall setup;
    const std::string fake = setup.install.path("fake-orvane");
    harness::write_file(fake, std::string("#!/bin/sh\n") + c.script + "\n");
    ASSERT_EQ(chmod(fake.c_str(), 0755), 0);
    std::vector<std::string> args = {"--orvane", fake};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const harness::RunResult r = setup.run(args, nullptr);
    EXPECT_EQ(r.exit_code, c.status) << r.out << r.err;
  }
}

TEST(Companion, RelaysOrvanesLinesUnchangedOffATerminal) {
  CompanionInstall setup;
  harness::Simulator sim("--mode usb --type 1");
  const std::vector<std::string> command = {"4710", "wf", "0", "-i", setup.image, "-u"};
  const harness::RunResult direct = harness::run_orvane(setup.install, command, &sim);
  const harness::RunResult relayed = setup.run(command, &sim);
  EXPECT_EQ(relayed.exit_code, 0);
  EXPECT_EQ(harness::mask_times(relayed.out), harness::mask_times(direct.out));
  EXPECT_NE(relayed.out.find(" Flash Page Program at address 1000 \t\n"), std::string::npos);

  const harness::RunResult quiet = setup.run({"--quiet", "4710", "wf", "0", "-i", "IMAGE", "-u"}, &sim);
  EXPECT_EQ(quiet.out.find("Flash Page Program"), std::string::npos) << quiet.out;
  EXPECT_NE(quiet.out.find(" File Download to 0x000000: 5000 bytes"), std::string::npos);
}

TEST(Companion, FindsOrvaneInTheInstallationsProgramDirectory) {
  // prefix/bin/orvane-check with the program in prefix/libexec/orvane.
  CompanionInstall setup;
  const std::string prefix = harness::make_temp_dir();
  fs::create_directories(prefix + "/bin");
  fs::create_directories(prefix + "/libexec");
  fs::create_directory_symlink(setup.install.dir, prefix + "/libexec/orvane");
  fs::copy_file(ORVANE_CHECK_PROGRAM, prefix + "/bin/orvane-check");
  const harness::RunResult r = setup.run({"4710", "rst", "-u"}, nullptr, prefix + "/bin/orvane-check");
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_EQ(r.out, " [42]: no usb device!\n");
  harness::remove_tree(prefix);
}

// Intel HEX records for bytes at addresses (a linear address record before each).
std::string intel_hex(const std::vector<std::pair<uint32_t, std::string>> &parts) {
  std::string out;
  auto record = [&out](std::vector<unsigned> bytes) {
    unsigned sum = 0;
    for (unsigned b : bytes) sum += b;
    bytes.push_back((0x100 - sum % 0x100) % 0x100);
    out += ':';
    for (unsigned b : bytes) {
      char pair[3];
      std::snprintf(pair, sizeof pair, "%02X", b & 0xff);
      out += pair;
    }
    out += '\n';
  };
  for (const auto &part : parts) {
    const uint32_t a = part.first;
    record({2, 0, 0, 4, a >> 24, a >> 16 & 0xff});
    std::vector<unsigned> data = {static_cast<unsigned>(part.second.size()), a >> 8 & 0xff, a & 0xff, 0};
    for (unsigned char c : part.second) data.push_back(c);
    record(data);
  }
  return out + ":00000001FF\n";
}

TEST(Companion, DownloadsAFileThatCarriesItsAddressesRunByRun) {
  CompanionInstall setup;
  harness::Simulator sim("--mode usb --type 1");
  const std::string hex = setup.install.path("firmware.hex");
  // Two pieces in sector 0 (one run, the gap filled), one in sector 2, one in SRAM.
  harness::write_file(hex, intel_hex({{0x0, std::string(100, 'a')}, {0x800, "sector zero end!"},
                                      {0x2000, "another sector"}, {0x8000, "in sram"}}));
  const harness::RunResult dry = setup.run({"--dry-run", "4710", "wf", "0", "-i", hex, "-u"}, &sim);
  EXPECT_EQ(dry.exit_code, 0) << dry.err;
  EXPECT_NE(dry.out.find("run 1: flash 0x000000-0x00080f, 2064 bytes (1948 of them 0xff"),
            std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("run 3: sram  0x008000-0x008006, 7 bytes"), std::string::npos);
  EXPECT_EQ(sim.ctl("flash-read 800 4"), "ffffffff");  // a plan touches nothing

  const harness::RunResult r =
      setup.run({"--json", "--verify", "4710", "wf", "0", "-i", hex, "-u"}, &sim);
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\"runs\":[{\"target\":\"flash\",\"address\":0,\"bytes\":2064,"
                       "\"filled\":1948,\"outcome\":\"success\",\"verify\":{\"bytes\":2064,"
                       "\"differing\":0}}"),
            std::string::npos) << r.out;
  EXPECT_EQ(sim.ctl("flash-read 800 4"), "73656374");  // "sect"
  EXPECT_EQ(sim.ctl("flash-read 2000 4"), "616e6f74");  // "anot"
  EXPECT_EQ(sim.ctl("mem-read target 8000 4"), "696e2073");  // "in s"

  // Refused before anything runs: exit 2 and a line that says why.
  struct Refusal {
    std::string file;
    const char *address;
    const char *says;
  };
  const Refusal refusals[] = {
      {intel_hex({{0x0, "x"}}), "1000", "carries its own addresses: give it as CHIP wf 0 -i FILE"},
      {intel_hex({{0x100, "abcd"}, {0x102, "zz"}}), "0", "two parts of the file load 0x000102-0x000103"},
      {intel_hex({{0x20000, "far"}}), "0", "0x020000-0x020002 lies outside flash"},
      {":0100000055AB\n:00000001FF\n", "0", "line 1: checksum 0xab, expected 0xaa"},
  };
  for (const Refusal &c : refusals) {
    harness::write_file(hex, c.file);
    const harness::RunResult refused = setup.run({"4710", "wf", c.address, "-i", hex, "-u"}, &sim);
    EXPECT_EQ(refused.exit_code, 2) << c.says;
    EXPECT_NE(refused.err.find(c.says), std::string::npos) << refused.err;
  }
}

TEST(Companion, RefusesAReadWhoseOutputFileCannotBeCreatedBeforeReading) {
  CompanionInstall setup;
  harness::Simulator sim("--mode usb --type 1");
  sim.ctl("trace-clear");
  harness::RunResult r =
      setup.run({"4710", "rf", "0", "-s", "64", "-u", "-o", "/nonexistent/dir/out.bin"}, &sim);
  EXPECT_EQ(r.exit_code, 2) << r.out << r.err;
  EXPECT_NE(r.err.find("cannot create the -o file /nonexistent/dir/out.bin"), std::string::npos)
      << r.err;
  EXPECT_EQ(sim.ctl("trace"), "") << "the device was touched";
  // A file that can be created is left for Orvane to write.
  const std::string out = setup.install.path("out.bin");
  r = setup.run({"4710", "rf", "0", "-s", "64", "-u", "-o", out}, &sim);
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(harness::read_file(out).size(), 64u);
}

// The JSON objects read back by Python's json module, one summary line per object.
std::string parsed_by_python(const std::string &json_lines) {
  const std::string dir = harness::make_temp_dir();
  harness::write_file(dir + "/out.json", json_lines);
  harness::write_file(dir + "/read.py",
                      "import json, sys\n"
                      "for line in open(sys.argv[1], encoding='utf-8'):\n"
                      "    o = json.loads(line)\n"
                      "    if 'outcome' in o:\n"
                      "        v = o['verify'] or {}\n"
                      "        print('end', o['outcome'], o['exit_status'], o['orvane_exit_code'],\n"
                      "              v.get('differing'), v.get('first_difference'),\n"
                      "              type(o['elapsed_ms']).__name__)\n"
                      "    else:\n"
                      "        print(o['step'], o['kind'], o['number'], json.dumps(o['text']))\n");
  const std::string out = shell_command::run_shell(std::string(PYTHON3_PROGRAM) + " " + dir +
                                                  "/read.py " + dir + "/out.json 2>&1")
                              .out;
  harness::remove_tree(dir);
  return out;
}

TEST(Companion, JsonIsValidForAnyByteAndClosesWithTheOutcome) {
  if (std::string(PYTHON3_PROGRAM).empty()) GTEST_SKIP() << "no python3 for the JSON parser";
  CompanionInstall setup;
  harness::Simulator sim("--mode usb --type 1");

  // A listing whose routine name holds control bytes, a stray byte and UTF-8, and whose
  // instruction line holds a quote and a backslash: pc prints both lines as they are.
  harness::write_file(setup.install.path("odd.lst"),
                      "Disassembly of section .vectors:\n"
                      "00000100 <m\x01" "a\x1b\xff" "i\xc3\xa9n>:\n"
                      "     104:\te3100010 \tli\tr1, \"q\\\"\n"
                      "00000200 <end>:\n"
                      "Disassembly of section .rodata:\n");
  // The core is halted first, or it would move on from the program counter set.
  harness::run_orvane(setup.install, {"4710", "stop", "-u"}, &sim);
  sim.ctl("pc-set 104");
  const harness::RunResult listing =
      setup.run({"--json", "4710", "pc", "-i", setup.install.path("odd.lst"), "-u"}, &sim);
  EXPECT_EQ(listing.exit_code, 0) << listing.err;
  EXPECT_EQ(parsed_by_python(listing.out),
            "command result None \"00000100 <m\\u0001a\\u001b\\u00ffi\\u00e9n>:\"\n"
            "command result None \"     104: e3100010 \\tli\\tr1, \\\"q\\\\\\\"\"\n"
            "end success 0 0 None None int\n");

  sim.ctl("fault program-corrupt 1000");
  const harness::RunResult verify =
      setup.run({"--json", "--verify", "4710", "wf", "0", "-i", "IMAGE", "-u"}, &sim);
  EXPECT_EQ(verify.exit_code, 3);
  const std::string parsed = parsed_by_python(verify.out);
  EXPECT_NE(parsed.find("command progress None \" Flash Page Program at address 1000 \\t\"\n"),
            std::string::npos) << parsed;
  EXPECT_NE(parsed.find("verify result None \" All 5000 bytes have been saved! \\t\"\n"),
            std::string::npos) << parsed;
  EXPECT_NE(parsed.find("end verify-difference 3 0 1 4096 int\n"), std::string::npos) << parsed;
}

}  // namespace
