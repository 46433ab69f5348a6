#include "tools/check/locate_orvane.h"

#include "base/platform.h"
#include "tools/check/platform.h"

#ifndef ORVANE_CHECK_PROGRAM_DIR
#define ORVANE_CHECK_PROGRAM_DIR "../libexec/orvane"
#endif

std::string locate_orvane(std::string *searched) {
  char own_folder[4096];
  const std::string own = program_directory(own_folder, sizeof own_folder) ? own_folder : "";
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
