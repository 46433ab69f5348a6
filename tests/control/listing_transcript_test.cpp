// SPDX-License-Identifier: Apache-2.0
// The "pc" command end to end: the listing lookup with the program counter of a simulated
// chip, through both grammars.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "runctl_support.h"

namespace {

using Lines = std::vector<std::string>;

const char kListing[] =
    "\n"
    "firmware.elf:     file format elf32-zk32\n"
    "\n"
    "Disassembly of section .vectors:\n"
    "\n"
    "00000000 <_vectors>:\n"
    "       0:\t0000006f \tj\t0 <_vectors>\n"
    "\n"
    "Disassembly of section .text:\n"
    "\n"
    "00000100 <main>:\n"
    "     17c:\t00000013 \tnop\n"
    "     180:\tfe010113 \taddi\tsp,sp,-32\n"
    "     184:\t00112e23 \tsw\tra,28(sp)\n"
    "\n"
    "00000200 <idle>:\n"
    "     200:\t0000006f \tj\t200 <idle>\n"
    "\n"
    "Disassembly of section .rodata:\n";

class PcLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_.ctl("mem-write target 602 02");  // halted, so the program counter stays where it is set
    listing_ = install_.path("firmware.lst");
    harness::write_file(listing_, kListing);
  }
  std::string pc_run(const std::string &pc, const Lines &args) {
    sim_.ctl("pc-set " + pc);
    return harness::run_orvane(install_, args, &sim_).out;
  }

  harness::Install install_{runctl::config_ini()};
  harness::Simulator sim_{"--mode usb --type 1"};
  std::string listing_;
};

TEST_F(PcLookup, ShowsTheEnclosingSymbolAndTheInstructionLine) {
  EXPECT_EQ(pc_run("180", {"c1", "pc", "-i", listing_, "-u"}),
            "00000100 <main>:\n     180: fe010113 \taddi\tsp,sp,-32\n");
  // The core is not disturbed: nothing is written.
  EXPECT_EQ(runctl::trace_with(sim_, {"w "}), Lines{});
}

TEST_F(PcLookup, ProgramCounterOutsideEverySymbolRangePrintsNothing) {
  EXPECT_EQ(pc_run("100", {"c1", "pc", "-i", listing_, "-u"}), "");  // a symbol's own address
  EXPECT_EQ(pc_run("250", {"c1", "pc", "-i", listing_, "-u"}), "");  // beyond the last symbol
  EXPECT_EQ(pc_run("1f0", {"c1", "pc", "-i", listing_, "-u"}), "00000100 <main>:\n");
}

TEST_F(PcLookup, FailuresEachPrintTheirLine) {
  EXPECT_EQ(pc_run("180", {"c1", "pc", "-i", install_.path("missing.lst"), "-u"}),
            " [38]: Open .lst Err!\n");
  const std::string directory = listing_.substr(0, listing_.rfind('/'));
  EXPECT_EQ(pc_run("180", {"c1", "pc", "-i", directory, "-u"}), " [38]: Open .lst Err!\n");
  EXPECT_EQ(pc_run("180", {"c1", "pc", "-i", listing_}), " [40]: no evk device!\n");
  EXPECT_EQ(harness::run_orvane(install_, {"c1", "pc", "-i", listing_, "-u"}, nullptr).out,
            " [39]: no usb device!\n");
}

TEST_F(PcLookup, TooManySymbolsAreReportedAndTheFirst2000Used) {
  std::string listing = "Disassembly of section .vectors:\n";
  char line[64];
  for (unsigned i = 0; i <= 2000; ++i) {
    std::snprintf(line, sizeof line, "%08x <f%u>:\n %x:\t00000013 \tnop\n", i * 16, i,
                  i * 16 + 4);
    listing += line;
  }
  harness::write_file(listing_, listing);
  EXPECT_EQ(pc_run("14", {"c1", "pc", "-i", listing_, "-u"}),
            " [210]: more than 2000 symbols in .lst, the rest ignored! \t\n"
            "00000010 <f1>:\n 14: 00000013 \tnop\n");
}

}  // namespace
