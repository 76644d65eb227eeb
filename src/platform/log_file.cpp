// The log file of the common error report: where it is and how a line reaches it. The
// report itself (common/error_report.cpp) stands on nothing of ours; the clock and the durable
// append it needs are here.
#include <cstdio>
#include <cstdlib>

#include "common/card_data_mask.hpp"
#include "common/error_report.hpp"
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

}  // namespace tovalix
