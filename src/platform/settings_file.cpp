// The INI text of the settings file: reading the section "PinPad" and setting keys in it.
#include <algorithm>
#include <cctype>
#include <optional>

#include "common/failure.hpp"
#include "platform/settings_file.hpp"

namespace tovalix::platform {
namespace {

constexpr std::string_view kSection = "PinPad";

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool SameKey(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// One line of the file, without its line end.
struct Line {
  std::string_view text;
  bool ended;  // a line end followed it
};

std::vector<Line> SplitLines(std::string_view content) {
  std::vector<Line> lines;
  while (!content.empty()) {
    const std::size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back({line, end != std::string_view::npos});
    if (end == std::string_view::npos) break;
    content.remove_prefix(end + 1);
  }
  return lines;
}

// The section a header line opens, or nullopt when the line is no header.
std::optional<std::string_view> SectionOf(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.back() != ']') return std::nullopt;
  return Trim(trimmed.substr(1, trimmed.size() - 2));
}

// The key of a key line, or nullopt for a comment or a line without "=".
std::optional<std::string_view> KeyOf(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return std::nullopt;
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(0, equals));
}

void CheckEntry(const std::string& key, const std::string& value) {
  const std::string_view trimmed = Trim(key);
  if (trimmed.empty() || trimmed.size() != key.size() ||
      key.find_first_of("=[\r\n;#", 0) != std::string::npos ||
      key.find('\0') != std::string::npos) {
    throw Failure("Nombre de parámetro no válido: " + key);
  }
  if (value.find_first_of("\r\n") != std::string::npos || value.find('\0') != std::string::npos) {
    throw Failure("El valor del parámetro " + key + " no cabe en una línea");
  }
}

}  // namespace

bool KeyLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Lower(x) < Lower(y); });
}

SettingsSection ParseSettingsSection(std::string_view content) {
  SettingsSection section;
  bool inside = false;
  for (const Line& line : SplitLines(content)) {
    if (const auto name = SectionOf(line.text)) {
      inside = SameKey(*name, kSection);
      continue;
    }
    if (!inside) continue;
    if (const auto key = KeyOf(line.text)) {
      if (key->empty()) continue;  // "=value" names nothing
      section[std::string(*key)] = std::string(line.text.substr(line.text.find('=') + 1));
    }
  }
  return section;
}

std::string MergeSettingsSection(std::string_view content,
                                 const std::vector<std::pair<std::string, std::string>>& entries) {
  // The last value given for a key wins, as if the entries were written one after another.
  std::vector<std::pair<std::string, std::string>> pending;
  for (const auto& [key, value] : entries) {
    CheckEntry(key, value);
    const auto same = std::find_if(pending.begin(), pending.end(), [&key = key](const auto& entry) {
      return SameKey(entry.first, key);
    });
    if (same != pending.end()) {
      same->second = value;
    } else {
      pending.emplace_back(key, value);
    }
  }
  std::vector<bool> written(pending.size(), false);
  const auto write_rest = [&](std::string& out) {
    for (std::size_t i = 0; i < pending.size(); ++i) {
      if (!written[i]) out += pending[i].first + "=" + pending[i].second + "\n";
      written[i] = true;
    }
  };

  std::string out;
  bool inside = false;
  bool seen_section = false;
  for (const Line& line : SplitLines(content)) {
    if (const auto name = SectionOf(line.text)) {
      if (inside) write_rest(out);  // keys new to the section go at its end
      inside = SameKey(*name, kSection);
      seen_section = seen_section || inside;
    } else if (inside) {
      if (const auto key = KeyOf(line.text)) {
        const auto match = std::find_if(pending.begin(), pending.end(), [&](const auto& entry) {
          return SameKey(entry.first, *key);
        });
        if (match != pending.end()) {
          const auto index = static_cast<std::size_t>(match - pending.begin());
          if (!written[index]) out += match->first + "=" + match->second + "\n";
          written[index] = true;  // a later duplicate line of the key is dropped
          continue;
        }
      }
    }
    out.append(line.text);
    out += '\n';
  }
  if (inside) write_rest(out);
  if (!seen_section) {
    if (!out.empty()) out += '\n';
    out += '[';
    out += kSection;
    out += "]\n";
    write_rest(out);
  }
  return out;
}

std::string SettingsFile::Read(std::string_view key) const {
  const SettingsSection section = ReadSection();
  const auto found = section.find(std::string(key));
  return found == section.end() ? std::string() : found->second;
}

}  // namespace tovalix::platform
