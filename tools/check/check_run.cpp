// SPDX-License-Identifier: Apache-2.0
// The steps of a run: find Orvane, run the command and relay its lines, judge the outcome
// from the kinds the message table gives those lines, and for --verify read the downloaded
// range back and compare it with the image.  A run succeeds only when the line that says its
// command finished came and no failure did: a run that just stops is a failure.
#include "tools/check/check_run.h"

#include <cstdio>
#include <string>

#include "base/child_process.h"
#include "base/platform.h"

#include "tools/check/chip_hint.h"
#include "tools/check/command_shape.h"
#include "tools/check/flash_bounds.h"
#include "tools/check/json_text.h"
#include "tools/check/line_relay.h"
#include "tools/check/locate_orvane.h"
#include "tools/check/output_file_check.h"
#include "tools/check/platform.h"
#include "tools/check/verify_compare.h"

namespace {

const char *outcome_name(int status) {
  switch (status) {
    case kExitSuccess: return "success";
    case kExitFailure: return "failure";
    case kExitRefused: return "refused";
    case kExitDifference: return "verify-difference";
    default: return "not-run";
  }
}

const char *progress_label(command_kind kind) {
  switch (kind) {
    case command_kind::flash_download:
    case command_kind::sram_download: return "download";
    case command_kind::erase: return "erase";
    case command_kind::read: return "read";
    default: return "progress";
  }
}

// Runs Orvane once with the relay; false (status and error set) when it could not be run or
// did not end by itself.
bool run_step(const std::string &orvane, const std::vector<std::string> &args, line_relay *relay,
              run_report *report, long *exit_code) {
  child_result child = run_program(orvane, args, relay_bytes, relay);
  relay_end(relay);
  if (!child.started) {
    report->status = kExitNotRun;
    report->error = "cannot run " + orvane + ": " + child.error;
    return false;
  }
  // Orvane itself only ever exits with 0 or 1: anything else is a crash, a signal or a
  // program that never started (a missing library on Windows).
  if (!child.ended_normally || (child.exit_code != 0 && child.exit_code != 1)) {
    report->status = kExitNotRun;
    report->error = orvane + " ended abnormally (status " + std::to_string(child.exit_code) + ")";
    return false;
  }
  *exit_code = child.exit_code;
  return true;
}

void verify_download(const std::string &orvane, const std::vector<std::string> &command,
                     const command_shape &shape, line_relay *relay, run_report *report) {
  std::string image;
  if (!read_whole_file(shape.image, &image)) {
    report->status = kExitFailure;
    report->error = "verify: cannot read " + shape.image;
    return;
  }
  const uint32_t started = clock_ms();
  std::string readback;
  if (!image.empty()) {
    const std::string temp = make_temp_file();
    if (temp.empty()) {
      report->status = kExitFailure;
      report->error = "verify: cannot create a temporary file";
      return;
    }
    const std::vector<std::string> args = readback_arguments(command, shape, image.size(), temp);
    relay_begin(relay, "verify", "verify", shape_command(args));
    long exit_code = 0;
    const bool ran = run_step(orvane, args, relay, report, &exit_code);
    // A read-back that did not say it saved the bytes left the file as it was: comparing it
    // would report a failed read as differences in the flash.
    const bool read_ok = ran && exit_code == 0 && relay->refusals == 0 && relay->failures == 0 &&
                         (relay->completes & kCompletesRead) != 0 &&
                         read_whole_file(temp, &readback);
    std::remove(temp.c_str());
    if (!ran) return;
    if (!read_ok) {
      report->status = kExitFailure;
      report->error = "verify: the read-back failed: " +
                      (relay->first_problem.empty() ? std::string("no completion")
                                                    : relay->first_problem);
      return;
    }
  }
  report->verified = true;
  report->verify = compare_images(image, readback, shape.address);
  report->verify_ms = clock_ms() - started;
  char verdict[160];
  if (report->verify.differing == 0) {
    std::snprintf(verdict, sizeof verdict, "orvane-check: verify: %llu bytes identical",
                  static_cast<unsigned long long>(report->verify.bytes));
  } else {
    report->status = kExitDifference;
    std::snprintf(verdict, sizeof verdict,
                  "orvane-check: verify: %llu of %llu bytes differ, the first at 0x%06x",
                  static_cast<unsigned long long>(report->verify.differing),
                  static_cast<unsigned long long>(report->verify.bytes),
                  report->verify.first_address);
  }
  relay_own_line(relay, verdict);
}

}  // namespace

void print_error(const std::string &text) {
  std::fprintf(stderr, "orvane-check: %s%s", text.c_str(), kLineEnd);
}

void print_json_closing(const run_report &report, bool verify_asked, uint64_t elapsed_ms,
                        const std::string &extra) {
  std::string object = "{\"outcome\":\"";
  object += outcome_name(report.status);
  object += "\",\"exit_status\":" + std::to_string(report.status);
  object += ",\"elapsed_ms\":" + std::to_string(elapsed_ms);
  object += ",\"orvane_exit_code\":";
  object += report.orvane_exit_code < 0 ? "null" : std::to_string(report.orvane_exit_code);
  object += ",\"command_ms\":" + std::to_string(report.command_ms);
  object += ",\"verify\":";
  if (verify_asked && report.verified) {
    object += "{\"bytes\":" + std::to_string(report.verify.bytes);
    object += ",\"differing\":" + std::to_string(report.verify.differing);
    object += ",\"first_difference\":";
    object += report.verify.differing == 0 ? "null" : std::to_string(report.verify.first_address);
    object += ",\"elapsed_ms\":" + std::to_string(report.verify_ms) + "}";
  } else {
    object += "null";
  }
  object += ",\"error\":";
  if (report.error.empty()) {
    object += "null";
  } else {
    append_json_string(&object, report.error);
  }
  object += ",\"hint\":";
  if (report.hint.empty()) {
    object += "null";
  } else {
    append_json_string(&object, report.hint);
  }
  object += extra + "}\n";
  std::fwrite(object.data(), 1, object.size(), stdout);
  std::fflush(stdout);
}

line_relay relay_for(const check_options &options) {
  line_relay relay;
  relay.quiet = options.quiet;
  relay.mode = options.json    ? display::json
               : options.quiet ? display::quiet
               : output_is_terminal() ? display::terminal
                                      : display::passthrough;
  return relay;
}

void run_command(const std::string &orvane, const std::vector<std::string> &command, bool verify,
                 line_relay *relay, run_report *report) {
  const command_shape shape = shape_command(command);
  relay_begin(relay, "command", progress_label(shape.kind), shape);
  long exit_code = 0;
  if (!run_step(orvane, command, relay, report, &exit_code)) return;
  report->orvane_exit_code = exit_code;
  report->command_ms = clock_ms() - relay->started_ms;
  if (exit_code == 1 || relay->refusals > 0) {
    report->status = kExitRefused;
  } else if (relay->failures > 0 ||
             (shape.completed_by != 0 && (relay->completes & shape.completed_by) == 0)) {
    report->status = kExitFailure;
    if (relay->failures == 0) report->error = "no completion";
    if (shape.character_form) report->hint = chip_hint(orvane, command, shape);
    if (!report->hint.empty()) relay_own_line(relay, "orvane-check: hint: " + report->hint);
  } else if (verify) {
    verify_download(orvane, command, shape, relay, report);
  }
}

void print_json_closing_for_usage(const char *error, int status) {
  run_report report;
  report.status = status;
  report.error = error;
  print_json_closing(report, false, 0);
}

int run_check(const check_options &options) {
  const uint32_t started = clock_ms();
  run_report report;
  line_relay relay = relay_for(options);

  std::string orvane = options.orvane;
  const command_shape shape = shape_command(options.command);
  if (orvane.empty()) {
    std::string searched;
    orvane = locate_orvane(&searched);
    if (orvane.empty()) {
      report.status = kExitNotRun;
      report.error = "cannot find Orvane in " + searched + " (use --orvane PATH)";
    }
  }
  if (report.error.empty() && shape.unknown_command) {
    report.status = kExitRefused;
    report.error = "unknown command: Orvane would do nothing with it";
  }
  if (report.error.empty() && options.verify &&
      !(shape.character_form && shape.kind == command_kind::flash_download)) {
    report.status = kExitRefused;
    report.error = "--verify needs a download to flash: CHIP wf ADDRESS -i FILE";
  }
  const std::string output_file = read_output_file(options.command);
  if (report.error.empty() && !output_file.empty() && !output_file_creatable(output_file)) {
    report.status = kExitRefused;
    report.error = "cannot create the -o file " + output_file + "; nothing was read";
  }
  std::string past_end;
  if (report.error.empty() && options.flash_size != 0 &&
      runs_past_flash(shape, options.flash_size, &past_end)) {
    report.status = kExitRefused;
    report.error = past_end;
  }

  if (report.error.empty()) run_command(orvane, options.command, options.verify, &relay, &report);

  if (!report.error.empty()) print_error(report.error);
  if (options.json) print_json_closing(report, options.verify, clock_ms() - started);
  return report.status;
}
