#include <cstdio>
#include <tovalix/operator.hpp>

namespace tovalix {

void StderrOperator::MessageBox(const std::string& text, int /*style*/, const std::string& title) {
  std::fprintf(stderr, "[%s] %s\n", title.empty() ? "TOVALIX" : title.c_str(), text.c_str());
}

}  // namespace tovalix
