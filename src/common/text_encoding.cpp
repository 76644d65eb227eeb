#include "common/text_encoding.hpp"

#include <array>

namespace tovalix {
namespace {

// Unicode code points of Windows-1252 codes 0x80 to 0x9F; the rest match Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at `pos`; returns its length, or 0 when it is malformed.
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& cp) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  std::size_t length = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;  // sequence cut short
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(pos + i) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  char32_t cp = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = DecodeUtf8(text, pos, cp);
    if (length == 0) return false;
    pos += length;
  }
  return true;
}

std::string Utf8ToAnsi(std::string_view text) {
  if (!IsValidUtf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size());
  char32_t cp = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    pos += DecodeUtf8(text, pos, cp);
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out += static_cast<char>(cp);
      continue;
    }
    char mapped = '?';
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
      if (kHighControls[i] == cp) mapped = static_cast<char>(0x80 + i);
    }
    out += mapped;
  }
  return out;
}

std::string AnsiToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto code = static_cast<unsigned char>(c);
    if (code >= 0x80 && code < 0xA0) {
      AppendUtf8(out, kHighControls[code - 0x80]);
    } else {
      AppendUtf8(out, code);
    }
  }
  return out;
}

std::string ToUtf8Lenient(std::string_view text) {
  return IsValidUtf8(text) ? std::string(text) : AnsiToUtf8(text);
}

std::string QuotePeer(std::string_view text) {
  const bool utf8 = IsValidUtf8(text);
  std::string quoted;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = 1;
    if (utf8) {
      const auto lead = static_cast<unsigned char>(text[i]);
      length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    }
    const std::string character =
        utf8 ? std::string(text.substr(i, length)) : AnsiToUtf8(text.substr(i, 1));
    i += length;
    const auto first = static_cast<unsigned char>(character[0]);
    // C0 controls, DEL, and the C1 controls (C2 80 to C2 9F).
    const bool control = first < 0x20 || first == 0x7F ||
                         (first == 0xC2 && static_cast<unsigned char>(character[1]) < 0xA0);
    if (control) continue;
    if (characters == kPeerQuoteCharacters) return quoted + "...";
    quoted += character;
    ++characters;
  }
  return quoted;
}

}  // namespace tovalix
