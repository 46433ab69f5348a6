// SPDX-License-Identifier: Apache-2.0
#include "tools/check/locate_orvane.h"

#include "base/platform.h"
#include "tools/check/platform.h"

#ifndef ORVANE_CHECK_PROGRAM_DIR
#define ORVANE_CHECK_PROGRAM_DIR "../libexec/orvane"
#endif

std::string locate_orvane(std::string *searched) {
  // The companion's own folder, from its path: ORVANE_CONFIG_DIR moves Orvane's chip table,
  // never the place the programs are installed in.
  char own_path[4096];
  std::string own(own_path, program_path(own_path, sizeof own_path));
  const std::size_t separator = own.find_last_of("\\/");
  own = separator == std::string::npos ? std::string() : own.substr(0, separator);
  searched->clear();
  if (own.empty()) return std::string();
  const std::string places[] = {own, own + "/" ORVANE_CHECK_PROGRAM_DIR};
  const char *const names[] = {"Orvane", "orvane", "Orvane.exe"};
  for (const std::string &dir : places) {
    if (!searched->empty()) *searched += ", ";
    *searched += dir;
    for (const char *name : names) {
      const std::string path = dir + "/" + name;
      if (is_runnable_file(path)) return path;
    }
  }
  return std::string();
}
