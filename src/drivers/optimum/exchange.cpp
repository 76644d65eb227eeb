#include "drivers/optimum/exchange.hpp"

#include <algorithm>
#include <optional>
#include <string>

#include "common/number_text.hpp"
#include "serial/frame_completeness.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::optimum {
namespace {

using serial::FrameScan;
using serial::FrameShape;
using serial::ScanFrame;

bool Contains(const std::string& buffer, std::string_view text) {
  return buffer.find(text) != std::string::npos;
}

}  // namespace

std::int16_t EnviaRecibeOptimum(serial::SerialLink& link, std::string_view comando,
                                std::string_view codigo) {
  std::int16_t result = 99;
  const std::string code(codigo);
  const std::string acceptance = "P" + code + "A00";
  const std::string finished = "P" + code + "A";
  const std::string refused = "E" + code + "A";
  bool accepted = false;

  // Judges the buffer; true when the exchange is finished.
  const auto judge = [&](std::string& buffer) -> bool {
    // Where the acceptance ends: the end of the frame that carries it, nullopt while that
    // frame is still arriving (its tail must not be taken for the answer's start).
    const auto acceptance_end = [&](std::size_t at) -> std::optional<std::size_t> {
      for (std::size_t from = 0;;) {
        const FrameScan scan = ScanFrame(FrameShape::kOptimum, buffer, from);
        if (scan.state == FrameScan::kComplete && scan.begin <= at) {
          if (at < scan.end) return scan.end;
          from = scan.end;
          continue;
        }
        if (scan.state == FrameScan::kPartial && scan.begin <= at) return std::nullopt;
        return at + acceptance.size();  // sent without a frame around it
      }
    };
    if (buffer.size() <= 4) return false;
    if (!accepted) {
      const std::size_t at = buffer.find(acceptance);
      if (at != std::string::npos) {
        const auto end = acceptance_end(at);
        if (!end) return false;
        // The answer may already follow the acceptance: keep what came after it.
        buffer.erase(0, *end);
        accepted = true;
        return false;
      }
    }
    // A whole, correct answer frame; its three length digits must agree with the bytes present.
    if (ScanFrame(FrameShape::kOptimum, buffer).state != FrameScan::kComplete ||
        serial::VerificaTramaOptimum(buffer, codigo, link.GetOperator()) != 1) {
      return false;
    }
    if (Contains(buffer, finished)) {
      result = 0;
      return true;
    }
    if (Contains(buffer, refused)) {
      // The two characters four after the start of the rejection.
      const std::size_t at = buffer.find(refused);
      result = ToInteger(std::string_view(buffer).substr(std::min(at + 4, buffer.size()), 2));
      return true;
    }
    if (!accepted && Contains(buffer, "P60")) {
      result = 0;
      return true;
    }
    return false;
  };
  link.Exchange(comando, 1, kPlazoRecibeOptimum, [&](std::string& buffer) {
    const bool was_accepted = accepted;
    const bool done = judge(buffer);
    // Just accepted: the answer may be whole already, judge it without waiting a slice.
    return done || (accepted && !was_accepted && judge(buffer));
  });
  return result;
}

std::int16_t EnviaOptimum(serial::SerialLink& link, std::string_view comando,
                          std::string_view codigo) {
  std::int16_t result = 0;
  const std::string code(codigo);
  link.Exchange(comando, 1, kPlazoOptimum, [&](std::string& buffer) {
    if (buffer.size() > 4) {
      // A framed answer is decided once whole, so that its tail does not spill into the next
      // exchange.
      if (ScanFrame(FrameShape::kOptimum, buffer).state == FrameScan::kPartial) return false;
      if (Contains(buffer, "P" + code + "A")) {
        result = 1;
        return true;
      }
      return Contains(buffer, "E" + code + "A") || Contains(buffer, "P60");
    }
    if (Contains(buffer, "vxv") && (buffer.size() == 4 || link.Quiet())) {
      result =
          ToInteger(std::string_view(buffer).substr(std::min<std::size_t>(3, buffer.size()), 1));
      return true;
    }
    return false;
  });
  return result;
}

}  // namespace tovalix::drivers::optimum
