#include <tovalix/mostrador.hpp>

#include <utility>

#include "common/error_report.hpp"
#include "common/number_text.hpp"
#include "control/cliente_state.hpp"
#include "counter/asigna_nip.hpp"
#include "counter/corresponsal.hpp"
#include "counter/remesas.hpp"
#include "drivers/models.hpp"
#include "drivers/printer.hpp"
#include "serial/port_discovery.hpp"
#include "settings/store.hpp"

namespace tovalix {
namespace {

// An Operator that hears nothing: the settings are loaded ahead of AsignaNip only to find the
// PIN pad's port, and AsignaNip loads them again and reports what is wrong with them.
class Silencio final : public Operator {
 public:
  void MessageBox(const std::string&, int, const std::string&) override {}
};

// Every counter operation starts a new transaction: nothing of the last card read survives.
void LimpiaVenta(detail::ClienteState& state) {
  state.ModoEntrada = 0;
  RunTrapped(state.op, [&] { state.Link().LimpiaBuffer(); });
}

// The printer of the stored model, after the settings are loaded and its port is found into
// state.Puerto; nullptr when printing must end (the operator has been told why).
const drivers::Printer* PreparaImpresion(detail::ClienteState& state) {
  if (!settings::CargaParametros(state.Parametros, state.op)) return nullptr;
  const drivers::ModelDescriptor* model = drivers::FindModel(state.Parametros.Tipo);
  if (!model || !model->printer) {
    state.op.MessageBox("TOVALIX: La PinPad configurada (" + state.Parametros.Tipo +
                            ") no tiene impresora: no se imprimió nada.",
                        Operator::kPlain, "");
    return nullptr;
  }
  state.Puerto = serial::AsignaPuerto(model->ports, state.op);
  return model->printer;
}

// Prints with `print(printer, entorno)` once the printer is prepared: 1 when it says every copy
// printed, 0 otherwise, a failure included.
template <class Print>
std::int16_t Imprime(detail::ClienteState& state, Print print) {
  bool impreso = false;
  RunTrapped(state.op, [&] {
    const drivers::Printer* printer = PreparaImpresion(state);
    if (!printer) return;
    drivers::EntornoVenta entorno{state.Link(),      state.Parametros, state.Puerto,
                                  state.ModoEntrada, state.op,         *state.clock};
    impreso = print(*printer, entorno);
  });
  return impreso ? 1 : 0;
}

}  // namespace

Mostrador::Mostrador(Operator& op) : state_(std::make_unique<detail::ClienteState>(op)) {}

Mostrador::~Mostrador() {
  try {
    if (state_) state_->Link().Cierra();
  } catch (...) {
    // Closing an already failed port must not throw out of a destructor.
  }
}

Dictionary Mostrador::SesionCajero(const std::string& usuario, const std::string& nip,
                                   const std::string& track2, const std::string& tipo_operacion) {
  detail::ClienteState& state = *state_;
  LimpiaVenta(state);
  return counter::SesionCajero(state.Parametros, state.Puerto, state.op, usuario, nip, track2,
                               tipo_operacion);
}

Dictionary Mostrador::RegistraBitacora(const Dictionary& bitacora) {
  detail::ClienteState& state = *state_;
  LimpiaVenta(state);
  return counter::RegistraBitacora(state.Parametros, state.Puerto, state.op, bitacora);
}

Dictionary Mostrador::ConsultaRemesa(const std::string& orden) {
  detail::ClienteState& state = *state_;
  LimpiaVenta(state);
  return counter::ConsultaRemesa(state.Parametros, state.op, orden);
}

Dictionary Mostrador::PagaRemesa(const std::string& orden, const std::string& visa,
                                 const std::string& pasaporte, const std::string& green_card,
                                 const std::string& seguro_social,
                                 const std::string& matricula_consular, const std::string& ide,
                                 const std::string& licencia) {
  detail::ClienteState& state = *state_;
  LimpiaVenta(state);
  const counter::Identificaciones documentos{
      visa, pasaporte, green_card, seguro_social, matricula_consular, ide, licencia};
  return counter::PagaRemesa(state.Parametros, state.op, orden, documentos);
}

Dictionary Mostrador::AsignaNip(const std::string& nip, const std::string& track1,
                                const std::string& track2) {
  detail::ClienteState& state = *state_;
  LimpiaVenta(state);
  if (TrimBlanks(state.Puerto).empty()) {
    RunTrapped(state.op, [&] {
      Silencio silencio;
      settings::Parametros parametros;
      if (!settings::CargaParametros(parametros, silencio)) return;
      state.Puerto = serial::AsignaPuerto(drivers::PortNamesOf(parametros.Tipo), state.op);
    });
  }
  return counter::AsignaNip(state.Parametros, state.Puerto, state.op, nip, track1, track2);
}

std::int16_t Mostrador::ImprimeVoucher(const Dictionary& datos, const std::string& texto,
                                       std::int16_t operacion) {
  return Imprime(*state_, [&](const drivers::Printer& printer, drivers::EntornoVenta& entorno) {
    return printer.voucher(entorno, datos, texto, operacion, platform::LocalNow());
  });
}

std::int16_t Mostrador::ImprimeTicket(const std::string& razon, const std::string& dir1,
                                      const std::string& dir2, const std::string& dir3,
                                      const std::string& tel, const std::string& folio,
                                      const std::string& total,
                                      const std::vector<std::string>& articulos,
                                      const std::vector<std::string>& pagos) {
  return Imprime(*state_, [&](const drivers::Printer& printer, drivers::EntornoVenta& entorno) {
    const drivers::DatosTicket ticket{razon, dir1, dir2, dir3, tel, folio, total};
    return printer.ticket(entorno, ticket, articulos, pagos, platform::LocalNow());
  });
}

}  // namespace tovalix
