#include "common/error_report.hpp"

#include <exception>
#include <new>

#include "common/card_data_mask.hpp"

namespace tovalix {

void ShowError(Operator& op, std::string_view description) noexcept {
  try {
    op.MessageBox(MaskCardData(description), Operator::kPlain, "");
  } catch (...) {
    // A host whose message box throws must not turn a reported failure into a crash.
  }
}

void ReportError(Operator& op, std::string_view description) noexcept {
  ShowError(op, description);
  AppendLogLine(description);
}

std::string DescribeCurrentException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "Memoria insuficiente";
  } catch (const std::exception& error) {
    try {
      return error.what();
    } catch (...) {
      return "Error";
    }
  } catch (...) {
    return "Error desconocido";
  }
}

}  // namespace tovalix
