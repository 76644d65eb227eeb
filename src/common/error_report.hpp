// The common error report of every trapping procedure: the failure's description in a plain
// message box, then one line appended to "tovalix.log".
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include <tovalix/operator.hpp>

namespace tovalix {

// Appends "date time description" + CR + CR LF to tovalix.log in the log folder
// ($TOVALIX_LOG_DIR, or the current directory), flushed to disk; a missing log is created
// with mode 0600 and a symbolic link in its place is never followed. Card data are masked.
// Never throws: a log that cannot be written loses the line, not the operation. Written by the
// platform layer (platform/log_file.cpp), which has the clock and the file system.
void AppendLogLine(std::string_view description) noexcept;

// Path of the log file that AppendLogLine writes.
std::string LogFilePath();

// Shows `description` to the operator in a plain box (card data masked). Never throws.
void ShowError(Operator& op, std::string_view description) noexcept;

// ShowError, then AppendLogLine.
void ReportError(Operator& op, std::string_view description) noexcept;

// The description of the exception being handled; call only inside a catch block.
std::string DescribeCurrentException() noexcept;

// Runs `body`; a failure it throws is reported with ReportError and swallowed. Returns true
// when the body ran to its end. The trapping procedures return what they hold afterwards.
template <typename Body>
bool RunTrapped(Operator& op, Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (...) {
    ReportError(op, DescribeCurrentException());
    return false;
  }
}

// Like RunTrapped, but shows the box without writing the log line (the frame builders do so).
template <typename Body>
bool RunTrappedShowOnly(Operator& op, Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (...) {
    ShowError(op, DescribeCurrentException());
    return false;
  }
}

}  // namespace tovalix
