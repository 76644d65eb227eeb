#include <tovalix/cliente.hpp>

#include "common/error_report.hpp"
#include "control/cliente_state.hpp"
#include "gateway/sale_journal.hpp"

namespace tovalix {

namespace detail {

serial::SerialLink& ClienteState::Link() {
  if (!link_ || link_clock_ != clock) {
    if (link_) link_->Cierra();
    link_ = std::make_unique<serial::SerialLink>(op, *clock);
    link_clock_ = clock;
  }
  return *link_;
}

}  // namespace detail

Cliente::Cliente(Operator& op) : state_(std::make_unique<detail::ClienteState>(op)) {}

Cliente::~Cliente() {
  try {
    if (state_) state_->Link().Cierra();
  } catch (...) {
    // Closing an already failed port must not throw out of a destructor.
  }
}

Dictionary Cliente::VentasEnDuda() {
  Dictionary sales;
  RunTrapped(state_->op, [&] {
    for (const auto& [id, line] : gateway::SalesInDoubt()) sales.Set(id, line);
  });
  return sales;
}

std::int16_t Cliente::ConciliaVenta(const std::string& id, bool cobrada) {
  return RunTrapped(state_->op, [&] { gateway::SettleSale(id, cobrada); }) ? 1 : 0;
}

}  // namespace tovalix
