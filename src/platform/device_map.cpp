// The parts of the device map every platform shares: lookup and the table file.
#include "platform/device_map.hpp"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "common/failure.hpp"

namespace tovalix::platform {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<std::string> FindPort(const std::vector<DeviceMapEntry>& entries,
                                    std::string_view device_name) {
  if (device_name.empty()) return std::nullopt;
  for (const DeviceMapEntry& entry : entries) {
    if (SameName(entry.device, device_name)) return entry.port;
  }
  return std::nullopt;
}

std::vector<DeviceMapEntry> ParseDeviceMapTable(std::string_view content) {
  std::vector<DeviceMapEntry> entries;
  while (!content.empty()) {
    const std::size_t end = content.find('\n');
    const std::string_view line = content.substr(0, end);
    content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == '#') continue;
    const std::size_t tab = trimmed.find('\t');
    if (tab == std::string_view::npos) continue;  // not an entry
    const std::string_view device = Trim(trimmed.substr(0, tab));
    const std::string_view port = Trim(trimmed.substr(tab + 1));
    if (device.empty() || port.empty()) continue;
    entries.push_back({std::string(device), std::string(port)});
  }
  return entries;
}

std::vector<DeviceMapEntry> TableDeviceMap::Entries() const {
  std::ifstream in(file_, std::ios::binary);
  if (!in) throw Failure("No se pudo leer la tabla de puertos " + file_.string());
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) throw Failure("No se pudo leer la tabla de puertos " + file_.string());
  return ParseDeviceMapTable(content.str());
}

}  // namespace tovalix::platform
