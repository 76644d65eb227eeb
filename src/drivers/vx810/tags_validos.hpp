// The EMV tag filter shared by Vx810::TagsValidos and the chip answer reader.
#pragma once

#include <string>
#include <string_view>

namespace tovalix::drivers::vx810 {

struct TagsFiltrados {
  std::string emv_tags;
  std::string arqc;
  std::string aid;
};

// Walks the 36-row tag table over `tags` (hex digits, blanks allowed; bytes in, bytes out).
// A failure ends the walk silently: `emv_tags` then keeps the text as received.
TagsFiltrados FiltraTags(std::string_view tags) noexcept;

}  // namespace tovalix::drivers::vx810
