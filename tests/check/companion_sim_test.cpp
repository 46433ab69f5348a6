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
