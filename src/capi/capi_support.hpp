// What every door of the C interface shares: the result object handed to hosts, the operator
// that forwards messages to the host's callbacks, and the conversions at the border.
#pragma once

#include <tovalix/tovalix.h>
#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

struct tovalix_result {
  tovalix::Dictionary dictionary;
  std::string json;
};

namespace tovalix::capi {

// Forwards the component's messages to the host's callbacks; without a message_box callback
// they print on standard error.
class CallbackOperator final : public Operator {
 public:
  CallbackOperator(tovalix_message_box_fn message_box, tovalix_pump_fn pump, void* user_data)
      : message_box_(message_box), pump_(pump), user_data_(user_data) {}

  void MessageBox(const std::string& text, int style, const std::string& title) override;
  void Pump() override;

 private:
  tovalix_message_box_fn message_box_;
  tovalix_pump_fn pump_;
  void* user_data_;
  StderrOperator fallback_;
};

// A NULL text is the empty text.
inline std::string Text(const char* text) {
  return text == nullptr ? std::string() : std::string(text);
}

// The host's `count` key/value pairs as a dictionary: a NULL key is skipped, a NULL value is
// the empty text, and a key given twice keeps its last value.
Dictionary DictionaryOf(std::size_t count, const char* const* keys, const char* const* values);

// The host's array of `count` texts (NULL texts empty; a NULL array is empty).
std::vector<std::string> TextsOf(std::size_t count, const char* const* texts);

// A new result holding `dictionary`, its keys and values made valid UTF-8 once so that every
// text handed out is. Throws std::bad_alloc.
tovalix_result* NewResult(const Dictionary& dictionary);

// A new object for a host, built from `arguments`; NULL when that fails (memory ran out).
template <typename Object, typename... Arguments>
Object* New(Arguments&&... arguments) noexcept {
  try {
    return new Object(std::forward<Arguments>(arguments)...);
  } catch (...) {
    return nullptr;
  }
}

// Runs `call` (which returns a Dictionary) for a host: NULL when `object` is NULL, or when
// anything escapes the call (memory ran out).
template <typename Object, typename Call>
tovalix_result* Wrap(Object* object, Call&& call) noexcept {
  if (object == nullptr) return nullptr;
  try {
    return NewResult(call());
  } catch (...) {
    return nullptr;
  }
}

// The same for an operation answering a number: `refused` when `object` is NULL or anything
// escapes.
template <typename Object, typename Call>
std::int16_t WrapNumber(Object* object, Call&& call, std::int16_t refused = 0) noexcept {
  if (object == nullptr) return refused;
  try {
    return call();
  } catch (...) {
    return refused;
  }
}

}  // namespace tovalix::capi
