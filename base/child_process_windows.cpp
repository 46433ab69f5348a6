// SPDX-License-Identifier: Apache-2.0
// Running another program on Windows: CreateProcess with an anonymous pipe for its standard
// output.  Only what the companion needs is here: the output sink; the other options are
// refused rather than ignored.
#include "base/child_process.h"

#include <windows.h>

namespace {

// One argument as the C runtime of the child splits its command line back into arguments:
// quoted when it holds a blank, a tab or a quote (or is empty); backslashes are doubled only
// where they come before a quote.
void append_quoted(std::string *line, const std::string &arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
    *line += arg;
    return;
  }
  *line += '"';
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      line->append(backslashes * 2 + 1, '\\');
    } else {
      line->append(backslashes, '\\');
    }
    backslashes = 0;
    *line += c;
  }
  line->append(backslashes * 2, '\\');
  *line += '"';
}

std::string last_error_text() {
  char text[256] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 GetLastError(), 0, text, sizeof text, nullptr);
  std::string message(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(GetLastError()) : message;
}

}  // namespace

child_result run_child(const std::vector<std::string> &argv, const child_options &options) {
  child_result result;
  if (argv.empty() || options.out_sink == nullptr || options.err_sink != nullptr ||
      !options.env_set.empty() || !options.env_unset.empty() || !options.out_file.empty() ||
      options.err_with_out || !options.err_file.empty() || options.null_input || options.search_path ||
      options.timeout_ms != 0 || options.before_exec != nullptr) {
    result.error = "not supported on Windows: a program, its output to a sink and nothing else";
    return result;
  }
  const std::string &program = argv[0];
  const output_sink sink = options.out_sink;
  void *const context = options.context;
  SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) {
    result.error = last_error_text();
    return result;
  }
  // Only the write end goes to the child.
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

  std::string command_line;
  append_quoted(&command_line, program);
  for (std::size_t i = 1; i < argv.size(); ++i) {
    const std::string &arg = argv[i];
    command_line += ' ';
    append_quoted(&command_line, arg);
  }
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = write_end;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  const BOOL created = CreateProcessA(program.c_str(), &command_line[0], nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  if (!created) result.error = last_error_text();
  CloseHandle(write_end);  // the pipe ends when the child's copy closes
  if (!created) {
    CloseHandle(read_end);
    return result;
  }
  result.started = true;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    sink(buffer, got, context);
  }
  CloseHandle(read_end);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  result.ended_normally = true;
  result.exit_code = static_cast<long>(code);
  return result;
}

