#include "capi/capi_support.hpp"

#include <memory>

#include "common/text_encoding.hpp"

namespace tovalix::capi {

void CallbackOperator::MessageBox(const std::string& text, int style, const std::string& title) {
  if (message_box_ == nullptr) {
    fallback_.MessageBox(text, style, title);
    return;
  }
  message_box_(user_data_, ToUtf8Lenient(text).c_str(), style, ToUtf8Lenient(title).c_str());
}

void CallbackOperator::Pump() {
  if (pump_ != nullptr) pump_(user_data_);
}

Dictionary DictionaryOf(std::size_t count, const char* const* keys, const char* const* values) {
  Dictionary dictionary;
  if (keys == nullptr) return dictionary;
  for (std::size_t i = 0; i < count; ++i) {
    if (keys[i] == nullptr) continue;
    dictionary.Set(keys[i], values == nullptr ? std::string() : Text(values[i]));
  }
  return dictionary;
}

std::vector<std::string> TextsOf(std::size_t count, const char* const* texts) {
  std::vector<std::string> result;
  if (texts == nullptr) return result;
  result.reserve(count);
  for (std::size_t i = 0; i < count; ++i) result.push_back(Text(texts[i]));
  return result;
}

tovalix_result* NewResult(const Dictionary& dictionary) {
  auto result = std::make_unique<tovalix_result>();
  for (const auto& [key, value] : dictionary.Entries()) {
    result->dictionary.Set(ToUtf8Lenient(key), ToUtf8Lenient(value));
  }
  result->json = result->dictionary.ToJson();
  return result.release();
}

}  // namespace tovalix::capi
