// SPDX-License-Identifier: Apache-2.0
// A stand-in for the operations the grammars call: each call is recorded with its name, its
// arguments and the process-wide paths as they were at the moment of the call.
#ifndef ORVANE_TESTS_CLI_OPERATION_RECORDER_H
#define ORVANE_TESTS_CLI_OPERATION_RECORDER_H

#include <cstdint>
#include <string>
#include <vector>

struct recorded_call {
  std::string name;
  std::vector<int64_t> values;  // the numeric arguments, in order
  std::string path;             // the path argument, if the operation takes one
  std::string writer_path;
  std::string output_path;
  int output_path_set = 0;
  std::string listing_path;
};

extern std::vector<recorded_call> recorded_calls;

#endif
