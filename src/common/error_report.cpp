#include "common/error_report.hpp"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#include "common/card_data_mask.hpp"
#include "platform/clock.hpp"
#include "platform/durable_append.hpp"

namespace tovalix {

std::string LogFilePath() {
  const char* folder = std::getenv("TOVALIX_LOG_DIR");
  if (folder == nullptr || *folder == '\0') return "tovalix.log";
  std::string path(folder);
  if (path.back() != '/') path += '/';
  return path + "tovalix.log";
}

void AppendLogLine(std::string_view description) noexcept {
  try {
    const platform::WallTime now = platform::LocalNow();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d/%04d %02d:%02d:%02d", now.date.day,
                  now.date.month, now.date.year, now.hour, now.minute, now.second);
    // The line ends in a carriage return of its own, then the usual CR LF.
    const std::string line = std::string(stamp) + " " + MaskCardData(description) + "\r\r\n";
    // One append-mode write, flushed, never through a symbolic link planted in the log's place.
    platform::AppendDurably(LogFilePath(), line);
  } catch (...) {
    // Out of memory, or a log that cannot be written: the line is lost, the caller goes on.
  }
}

void ShowError(Operator& op, std::string_view description) noexcept {
  try {
    op.MessageBox(MaskCardData(description), Operator::kPlain, "");
  } catch (...) {
    // A host whose message box throws must not turn a reported failure into a crash.
  }
}

void ReportError(Operator& op, std::string_view description) noexcept {
  ShowError(op, description);
  AppendLogLine(description);
}

std::string DescribeCurrentException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "Memoria insuficiente";
  } catch (const std::exception& error) {
    try {
      return error.what();
    } catch (...) {
      return "Error";
    }
  } catch (...) {
    return "Error desconocido";
  }
}

}  // namespace tovalix
