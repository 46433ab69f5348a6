// SPDX-License-Identifier: Apache-2.0
// The driver of a planned download: read the file, check the command that names it, plan,
// show the plan, then one Orvane run per planned run, in order, stopping at the first that
// does not succeed.
#include "tools/check/firmware_check.h"

#include <cstdio>
#include <string>
#include <vector>

#include "base/platform.h"
#include "tools/check/check_run.h"
#include "tools/check/chip_hint.h"
#include "tools/check/chip_table.h"
#include "tools/check/command_shape.h"
#include "tools/check/download_plan.h"
#include "tools/check/firmware_image.h"
#include "tools/check/json_text.h"
#include "tools/check/locate_orvane.h"
#include "tools/check/platform.h"

namespace {

struct run_record {
  const char *outcome = "not-run";
  bool verified = false;
  verify_result verify;
};

struct planned_check {
  std::string orvane;
  image_format format = image_format::raw;
  download_plan plan;
  std::vector<run_record> records;
};

// An address given as a zero ("0", "000", "0x0"), not merely one Orvane reads as 0.
bool is_zero(const std::string &text) {
  std::size_t i = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] != '0') return false;
  }
  return true;
}

bool write_file(const std::string &path, const std::string &bytes) {
  std::FILE *file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

std::string hex_address(uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", address);
  return text;
}

std::string run_line(std::size_t index, const planned_run &run) {
  char text[160];
  std::snprintf(text, sizeof text, "orvane-check: plan: run %zu: %-5s 0x%06x-0x%06x, %zu bytes",
                index + 1, target_name(run.target), run.address,
                static_cast<unsigned>(run.address + run.bytes.size() - 1), run.bytes.size());
  std::string line = text;
  if (run.filled > 0) line += " (" + std::to_string(run.filled) + " of them 0xff filling gaps)";
  return line;
}

std::string plan_json(const planned_check &check, const std::string &file) {
  std::string json = ",\"plan\":{\"file\":";
  append_json_string(&json, file);
  json += ",\"format\":";
  append_json_string(&json, format_name(check.format));
  json += ",\"runs\":[";
  for (std::size_t i = 0; i < check.plan.runs.size(); ++i) {
    const planned_run &run = check.plan.runs[i];
    const run_record &record = check.records[i];
    if (i > 0) json += ",";
    json += std::string("{\"target\":\"") + target_name(run.target) + "\"";
    json += ",\"address\":" + std::to_string(run.address);
    json += ",\"bytes\":" + std::to_string(run.bytes.size());
    json += ",\"filled\":" + std::to_string(run.filled);
    json += std::string(",\"outcome\":\"") + record.outcome + "\"";
    json += ",\"verify\":";
    json += record.verified ? "{\"bytes\":" + std::to_string(record.verify.bytes) +
                                  ",\"differing\":" + std::to_string(record.verify.differing) + "}"
                            : std::string("null");
    json += "}";
  }
  return json + "]}";
}

// Reads and plans; false with report's status and error set when the run is refused.
bool make_plan(const check_options &options, const command_shape &shape, planned_check *check,
               run_report *report) {
  const std::vector<std::string> &command = options.command;
  report->status = kExitRefused;
  if (shape.kind != command_kind::flash_download && shape.kind != command_kind::sram_download) {
    report->error = "--dry-run needs a download: CHIP wf 0 -i FILE";
    return false;
  }
  std::string file;
  if (!read_whole_file(shape.image, &file)) {
    report->error = "cannot read " + shape.image;
    return false;
  }
  check->format = recognise_format(file);
  if (check->format == image_format::raw) {
    // A raw binary goes where the command says; Orvane judges the address.
    planned_run run;
    run.target = shape.kind == command_kind::flash_download ? run_target::flash : run_target::sram;
    run.address = shape.address;
    run.bytes = file;
    check->plan.runs.push_back(run);
  } else {
    const std::string what = shape.image + " (" + format_name(check->format) + ")";
    if (!shape.character_form || command[1] != "wf" || !is_zero(command[2])) {
      report->error = what + " carries its own addresses: give it as CHIP wf 0 -i FILE";
      return false;
    }
    if (check->orvane.empty()) {
      std::string searched;
      check->orvane = locate_orvane(&searched);
      if (check->orvane.empty()) {
        report->status = kExitNotRun;
        report->error = "cannot find Orvane in " + searched + " (use --orvane PATH)";
        return false;
      }
    }
    const std::string config = config_beside(check->orvane);
    std::vector<chip_row> rows;
    const chip_row *chip = read_chip_table(config, &rows) ? find_chip(rows, command[0]) : nullptr;
    if (chip == nullptr) {
      report->error = "chip " + command[0] + " is not in " + config + ": its address map is unknown";
      return false;
    }
    firmware_image image;
    std::string error;
    if (!read_firmware_image(file, &image, &error) ||
        !plan_downloads(image.segments, chip->mcu_type, &check->plan, &error)) {
      report->error = what + ": " + error;
      return false;
    }
  }
  check->records.resize(check->plan.runs.size());
  report->status = kExitSuccess;
  return true;
}

void execute_plan(const check_options &options, const command_shape &shape, planned_check *check,
                  line_relay *relay, run_report *report) {
  for (std::size_t i = 0; i < check->plan.runs.size(); ++i) {
    const planned_run &run = check->plan.runs[i];
    const std::string temp = make_temp_file();
    if (temp.empty() || !write_file(temp, run.bytes)) {
      if (!temp.empty()) std::remove(temp.c_str());
      report->status = kExitFailure;
      report->error = "cannot write a temporary file for run " + std::to_string(i + 1);
      return;
    }
    // wc takes a data word before its options; it is not read when "-i" is given.
    std::vector<std::string> args = {options.command[0]};
    if (run.target == run_target::flash) {
      args.insert(args.end(), {"wf", hex_address(run.address), "-i", temp});
    } else {
      args.insert(args.end(), {"wc", hex_address(run.address), "0", "-i", temp});
    }
    if (shape.usb) args.push_back("-u");
    const bool verify = options.verify && run.target == run_target::flash;
    run_command(check->orvane, args, verify, relay, report);
    std::remove(temp.c_str());
    run_record &record = check->records[i];
    record.outcome = report->status == kExitSuccess ? "success" : "failure";
    record.verified = report->verified;
    record.verify = report->verify;
    report->verified = false;
    if (options.verify && run.target == run_target::sram && report->status == kExitSuccess) {
      relay_own_line(relay, "orvane-check: verify: the SRAM run is not read back: the core runs "
                            "from it");
    }
    if (report->status != kExitSuccess) return;
  }
}

}  // namespace

bool firmware_check_wanted(const check_options &options) {
  if (options.dry_run) return true;
  const command_shape shape = shape_command(options.command);
  if (shape.kind != command_kind::flash_download && shape.kind != command_kind::sram_download)
    return false;
  std::string file;
  return read_whole_file(shape.image, &file) && recognise_format(file) != image_format::raw;
}

int run_firmware_check(const check_options &options) {
  const uint32_t started = clock_ms();
  run_report report;
  line_relay relay = relay_for(options);
  const command_shape shape = shape_command(options.command);
  planned_check check;
  check.orvane = options.orvane;
  if (make_plan(options, shape, &check, &report)) {
    if (!options.json) {
      relay_own_line(&relay, "orvane-check: plan: " + shape.image + " (" +
                                 format_name(check.format) + "): " +
                                 std::to_string(check.plan.runs.size()) + " run" +
                                 (check.plan.runs.size() == 1 ? "" : "s"));
      for (std::size_t i = 0; i < check.plan.runs.size(); ++i) {
        relay_own_line(&relay, run_line(i, check.plan.runs[i]));
      }
    }
    if (!options.dry_run) execute_plan(options, shape, &check, &relay, &report);
  }
  if (!report.error.empty()) print_error(report.error);
  if (options.json) {
    print_json_closing(report, options.verify, clock_ms() - started,
                       check.records.empty() ? ",\"plan\":null" : plan_json(check, shape.image));
  }
  return report.status;
}
