#include <tovalix/dictionary.hpp>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "common/text_encoding.hpp"

namespace tovalix {
namespace {
const std::string kEmpty;
}

std::vector<Dictionary::Entry>::const_iterator Dictionary::Find(std::string_view key) const {
  return std::find_if(entries_.begin(), entries_.end(),
                      [&](const Entry& entry) { return entry.first == key; });
}

bool Dictionary::Add(std::string key, std::string value) {
  if (Exists(key)) return false;
  entries_.emplace_back(std::move(key), std::move(value));
  return true;
}

const std::string& Dictionary::Item(std::string_view key) const {
  const auto it = Find(key);
  return it == entries_.end() ? kEmpty : it->second;
}

void Dictionary::Set(std::string_view key, std::string value) {
  const auto it = Find(key);
  if (it == entries_.end()) {
    entries_.emplace_back(std::string(key), std::move(value));
  } else {
    entries_[static_cast<std::size_t>(it - entries_.begin())].second = std::move(value);
  }
}

bool Dictionary::Exists(std::string_view key) const {
  return Find(key) != entries_.end();
}

std::vector<std::string> Dictionary::Keys() const {
  std::vector<std::string> keys;
  keys.reserve(entries_.size());
  for (const auto& entry : entries_) keys.push_back(entry.first);
  return keys;
}

bool Dictionary::Remove(std::string_view key) {
  const auto it = Find(key);
  if (it == entries_.end()) return false;
  entries_.erase(it);
  return true;
}

std::string Dictionary::ToJson() const {
  nlohmann::ordered_json json = nlohmann::ordered_json::object();
  for (const auto& [key, value] : entries_) json[ToUtf8Lenient(key)] = ToUtf8Lenient(value);
  return json.dump();
}

}  // namespace tovalix
