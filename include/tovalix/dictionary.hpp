// The result of every operation: text values under text keys, kept in the order they were
// added, the way POS hosts already read the control's dictionaries.
#pragma once

#include <tovalix/export.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tovalix {

class TOVALIX_EXPORT Dictionary {
 public:
  using Entry = std::pair<std::string, std::string>;

  // Adds a key at the end. An existing key is refused: returns false and changes nothing.
  bool Add(std::string key, std::string value);

  // The value under `key`, or the empty text when the key is absent.
  const std::string& Item(std::string_view key) const;
  // Replaces the value under `key`, or adds the key at the end when it is absent.
  void Set(std::string_view key, std::string value);

  bool Exists(std::string_view key) const;
  std::vector<std::string> Keys() const;
  std::size_t Count() const { return entries_.size(); }
  // Removes `key`; returns false when it was not there.
  bool Remove(std::string_view key);
  void RemoveAll() { entries_.clear(); }

  const std::vector<Entry>& Entries() const { return entries_; }

  // One JSON object, keys in dictionary order. Text that is not valid UTF-8 is read as
  // Windows-1252, so the output is always valid JSON.
  std::string ToJson() const;

  bool operator==(const Dictionary&) const = default;

 private:
  std::vector<Entry>::const_iterator Find(std::string_view key) const;
  std::vector<Entry> entries_;
};

}  // namespace tovalix
