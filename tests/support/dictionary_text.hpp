// Dictionaries as one line of text, so that a table row holds a whole input or result.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>

namespace tovalix::testing {

// A dictionary from "key=value" entries joined by "|", in that order; a value runs to the next
// "|" and may hold "=".
inline Dictionary DictionaryOf(std::string_view entries) {
  Dictionary d;
  while (!entries.empty()) {
    const std::string_view entry = entries.substr(0, entries.find('|'));
    const std::size_t equals = entry.find('=');
    d.Add(std::string(entry.substr(0, equals)),
          equals == entry.npos ? "" : std::string(entry.substr(equals + 1)));
    entries.remove_prefix(std::min(entries.size(), entry.size() + 1));
  }
  return d;
}

// A dictionary's entries as "key=value" joined by "|", or its keys alone joined by " ".
inline std::string Text(const Dictionary& d, bool values = true) {
  std::string text;
  for (const auto& [key, value] : d.Entries()) {
    text += (text.empty() ? "" : values ? "|" : " ") + key + (values ? "=" + value : "");
  }
  return text;
}

}  // namespace tovalix::testing
