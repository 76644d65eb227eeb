// What the benchmarks share: an operator that only echoes messages to stderr, the record of
// one approved card sale, and the statistics of a run.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <tovalix/operator.hpp>

#include "gateway/pin_pad.hpp"

namespace tovalix::bench {

using Steady = std::chrono::steady_clock;

class QuietOperator final : public Operator {
 public:
  void MessageBox(const std::string& text, int, const std::string&) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
  }
};

// The card sale every gateway benchmark posts (a made-up card).
inline gateway::PinPad SampleSale() {
  gateway::PinPad record;
  record.ID_Store(5);
  record.Amount(Money::FromCentavos(12550));
  record.Total(Money::FromCentavos(12550));
  record.ID_Transaction(77);
  record.Operation_Type(1);
  record.Pos_entry_mode(1);
  record.track2("4000001234567899=49121010000000000000");
  return record;
}

inline double Ms(Steady::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}
inline double Seconds(Steady::duration d) {
  return std::chrono::duration<double>(d).count();
}

// The value below which a share `p` (0 to 1) of `values` lies; 0 for no values.
inline double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}
inline double Median(std::vector<double> values) {
  return Percentile(std::move(values), 0.5);
}

}  // namespace tovalix::bench
