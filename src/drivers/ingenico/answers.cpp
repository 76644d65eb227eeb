#include "drivers/ingenico/answers.hpp"

#include <array>
#include <cctype>

#include "common/failure.hpp"
#include "common/number_text.hpp"
#include "drivers/ingenico/frame_fields.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::ingenico {
namespace {

struct TagRow {
  std::string_view tag;
  bool kept;
};

// The objects requested by IC0, in the order in which they are looked for. The two-byte tags
// come first, so that they are taken (and removed) before the one-byte tags are searched.
constexpr std::array<TagRow, 34> kTagTable{{
    {"5F28", true},  {"5F2A", true},  {"5F34", true},  {"9F02", true},  {"9F07", true},
    {"9F09", true},  {"9F0D", true},  {"9F0E", true},  {"9F0F", true},  {"9F10", true},
    {"9F15", true},  {"9F1A", true},  {"9F1C", true},  {"9F26", true},  {"9F27", true},
    {"9F33", true},  {"9F34", true},  {"9F35", true},  {"9F36", true},  {"9F37", true},
    {"9F39", true},  {"9F41", false}, {"9F16", false}, {"9F1E", false}, {"9F21", false},
    {"5F25", false}, {"9F01", false}, {"9F03", false}, {"9F53", false}, {"95", true},
    {"9C", true},    {"9A", false},   {"82", true},    {"84", true},
}};

constexpr std::string_view kIc0Letters = "49 43 30";
constexpr std::string_view kKbdHeader = "4B 42 44 00";

// Positions in an IC0 answer, counted from 1 at the first length byte.
constexpr std::size_t kStatusPosition = 3;
constexpr std::size_t kTrack2Position = 23;
constexpr std::size_t kTrack1Position = 44;
constexpr std::size_t kChipTrack1Bytes = 81;
constexpr std::size_t kEmvPosition = 139;
constexpr std::size_t kEmvMinimumText = 8;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Two hex digits as a byte; Failure for anything else.
std::uint8_t ByteOfDigits(std::string_view digits) {
  const int high = digits.size() >= 2 ? HexValue(digits[0]) : -1;
  const int low = digits.size() >= 2 ? HexValue(digits[1]) : -1;
  if (high < 0 || low < 0) throw Failure("Respuesta del PIN pad no válida");
  return static_cast<std::uint8_t>(high * 16 + low);
}

[[noreturn]] void CutShort() {
  throw Failure("Respuesta del PIN pad incompleta");
}

// Spaced hex read by position: byte n (from 1) is the token of three characters at 3(n-1).
class SpacedBytes {
 public:
  explicit SpacedBytes(std::string_view text) : text_(text) {}

  bool Has(std::size_t position) const { return Offset(position) < text_.size(); }
  std::size_t CharactersFrom(std::size_t position) const {
    return Has(position) ? text_.size() - Offset(position) : 0;
  }
  std::string_view Token(std::size_t position) const {
    return Has(position) ? text_.substr(Offset(position), 3) : std::string_view();
  }
  std::uint8_t Byte(std::size_t position) const {
    if (!Has(position)) CutShort();
    return ByteOfDigits(text_.substr(Offset(position), 2));
  }
  // `count` bytes from `position` on, as raw bytes.
  std::string Bytes(std::size_t position, std::size_t count) const {
    std::string bytes;
    bytes.reserve(count);
    for (std::size_t i = 0; i < count; ++i) bytes += static_cast<char>(Byte(position + i));
    return bytes;
  }

 private:
  static std::size_t Offset(std::size_t position) { return 3 * (position - 1); }
  std::string_view text_;
};

// Bytes as the characters of the same Unicode values, written in UTF-8.
std::string Latin1ToUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0 | (byte >> 6));
      text += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return text;
}

}  // namespace

void FilterTags(std::string_view cadena, TagsFound& found) {
  std::string rest;
  rest.reserve(cadena.size());
  for (const char c : cadena) {
    if (c != ' ') rest += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  for (const TagRow& row : kTagTable) {
    // A text search: the digits may also lie inside another object's value; the table's
    // order decides which object wins.
    const std::size_t at = rest.find(row.tag);
    if (at == std::string::npos) continue;
    const std::size_t length_at = at + row.tag.size();
    if (length_at + 2 > rest.size()) CutShort();
    const std::size_t value_digits = 2 * std::size_t{ByteOfDigits(rest.substr(length_at, 2))};
    const std::size_t value_at = length_at + 2;
    if (value_at + value_digits > rest.size()) CutShort();
    const std::string value = rest.substr(value_at, value_digits);
    // A value is sent on to the gateway as it stands: it must be hex.
    if (value.find_first_not_of("0123456789ABCDEF") != std::string::npos) {
      throw Failure("Respuesta del PIN pad no válida");
    }
    if (row.kept) found.emv_tags += rest.substr(at, value_at + value_digits - at);
    if (row.tag == "9F26") found.arqc = value;
    if (row.tag == "84") found.aid = value;
    rest.erase(at, value_at + value_digits - at);
  }
}

Dictionary ParseTracks(std::string_view spaced, std::int16_t modo) {
  std::string status;
  std::string track1;
  std::string track2_hex;
  std::string service_code;
  TagsFound tags;
  const std::size_t letters = spaced.find(kIc0Letters);
  if (letters != std::string_view::npos) {
    // The answer's fields start 9 characters on, at the first length byte.
    const SpacedBytes answer(letters + 9 <= spaced.size() ? spaced.substr(letters + 9)
                                                          : std::string_view());
    status = std::string(TrimBlanks(answer.Token(kStatusPosition)));
    if (answer.Has(kTrack2Position)) {
      const std::size_t length = answer.Byte(kTrack2Position);
      track2_hex = HexOfBytes(answer.Bytes(kTrack2Position + 1, length));
      // The 22nd digit is the service code's first one when the card number has 16 digits.
      if (length >= 12) service_code = track2_hex.substr(21, 1);
    }
    if (answer.Has(kTrack1Position)) {
      const bool chip = service_code == "2" || service_code == "6";
      if (!chip || modo == 3) {
        const std::size_t length = answer.Byte(kTrack1Position);
        track1 = answer.Bytes(kTrack1Position + 1, length);
      } else {
        // A chip card read normally: 81 bytes from the length byte itself.
        track1 = answer.Bytes(kTrack1Position, kChipTrack1Bytes);
      }
    }
    if (answer.CharactersFrom(kEmvPosition) >= kEmvMinimumText) {
      const std::size_t length =
          std::size_t{answer.Byte(kEmvPosition)} * 256 + answer.Byte(kEmvPosition + 1);
      if (length > 0) FilterTags(HexOfBytes(answer.Bytes(kEmvPosition + 2, length)), tags);
    }
  }
  std::string track2 = track2_hex;
  for (char& c : track2) {
    if (c == 'D') c = '=';
  }
  const std::size_t separator = track2.find('=');
  std::string expiry = separator == std::string::npos ? "" : track2.substr(separator + 1, 4);

  Dictionary result;
  result.Add("ServiceCode", service_code);
  result.Add("Track1", Latin1ToUtf8(track1));
  result.Add("Track2", std::move(track2));
  result.Add("Status", std::move(status));
  result.Add("EMV_Tags", std::move(tags.emv_tags));
  result.Add("ARQC", std::move(tags.arqc));
  result.Add("AID", std::move(tags.aid));
  result.Add("Exp", std::move(expiry));
  return result;
}

std::string ParseCvv2(std::string_view spaced) {
  const std::size_t header = spaced.find(kKbdHeader);
  if (header == std::string_view::npos) return "";
  // The count is the low byte of the answer's length, right after "4B 42 44 00 ".
  const std::size_t count_at = header + kKbdHeader.size() + 1;
  const SpacedBytes answer(count_at <= spaced.size() ? spaced.substr(count_at)
                                                     : std::string_view());
  const std::size_t count = answer.Byte(1);
  if (count == 0) return "";
  const std::string data = answer.Bytes(2, count);
  return serial::TextoAHex(std::string_view(data).substr(1));
}

}  // namespace tovalix::drivers::ingenico
