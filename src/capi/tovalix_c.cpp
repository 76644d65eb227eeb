// The C interface over Cliente, and the reading of results: every entry point catches
// everything, so that no exception reaches a C host, and hands results out as opaque objects
// the host frees.
#include <tovalix/tovalix.h>
#include <tovalix/cliente.hpp>
#include <tovalix/version.hpp>

#include "capi/capi_support.hpp"

using tovalix::capi::CallbackOperator;
using tovalix::capi::New;
using tovalix::capi::Text;
using tovalix::capi::Wrap;
using tovalix::capi::WrapNumber;

struct tovalix_cliente {
  tovalix_cliente(tovalix_message_box_fn message_box, tovalix_pump_fn pump, void* user_data)
      : op(message_box, pump, user_data), control(op) {}
  CallbackOperator op;
  tovalix::Cliente control;
};

extern "C" {

const char* tovalix_version(void) {
  return tovalix::Version();
}

tovalix_cliente* tovalix_cliente_create(tovalix_message_box_fn message_box, tovalix_pump_fn pump,
                                        void* user_data) {
  return New<tovalix_cliente>(message_box, pump, user_data);
}

void tovalix_cliente_destroy(tovalix_cliente* cliente) {
  delete cliente;
}

tovalix_result* tovalix_pago_tarjeta(tovalix_cliente* cliente, int32_t id_store, double amount,
                                     double tip, double total, int32_t id_transaction,
                                     int16_t operation_type, const char* authorization_number,
                                     int32_t id_client_tx, int32_t id_server_tx,
                                     const char* initial_deferment, const char* number_of_payments,
                                     const char* plan_type) {
  return Wrap(cliente, [&] {
    return cliente->control.PagoTarjeta(id_store, amount, tip, total, id_transaction,
                                        operation_type, Text(authorization_number), id_client_tx,
                                        id_server_tx, Text(initial_deferment),
                                        Text(number_of_payments), Text(plan_type));
  });
}

tovalix_result* tovalix_tiempo_aire_status_venta(tovalix_cliente* cliente, const char* provider,
                                                 const char* pos_time_stamp) {
  return Wrap(cliente, [&] {
    return cliente->control.TiempoAireStatusVenta(Text(provider), Text(pos_time_stamp));
  });
}

tovalix_result* tovalix_tiempo_aire(tovalix_cliente* cliente, const char* teller_login,
                                    const char* provider, const char* top_up_telephone,
                                    double amount, const char* pos_time_stamp) {
  return Wrap(cliente, [&] {
    return cliente->control.TiempoAire(Text(teller_login), Text(provider), Text(top_up_telephone),
                                       amount, Text(pos_time_stamp));
  });
}

tovalix_result* tovalix_tiempo_aire_consulta_saldo(tovalix_cliente* cliente,
                                                   const char* teller_login) {
  return Wrap(cliente,
              [&] { return cliente->control.TiempoAireConsultaSaldo(Text(teller_login)); });
}

tovalix_result* tovalix_tiempo_aire_cantidades(tovalix_cliente* cliente, const char* provider) {
  return Wrap(cliente, [&] { return cliente->control.TiempoAireCantidades(Text(provider)); });
}

tovalix_result* tovalix_ventas_en_duda(tovalix_cliente* cliente) {
  return Wrap(cliente, [&] { return cliente->control.VentasEnDuda(); });
}

int16_t tovalix_concilia_venta(tovalix_cliente* cliente, const char* id, int cobrada) {
  return WrapNumber(cliente,
                    [&] { return cliente->control.ConciliaVenta(Text(id), cobrada != 0); });
}

int16_t tovalix_inicializa_pinpad(tovalix_cliente* cliente, const char* id_store, int32_t ptid,
                                  const char* tipo, const char* serie, const char* user_ta,
                                  const char* pwd_ta) {
  return WrapNumber(cliente, [&] {
    return cliente->control.InicializaPinPad(Text(id_store), ptid, Text(tipo), Text(serie),
                                             Text(user_ta), Text(pwd_ta));
  });
}

size_t tovalix_result_count(const tovalix_result* result) {
  return result == nullptr ? 0 : result->dictionary.Count();
}

const char* tovalix_result_key(const tovalix_result* result, size_t index) {
  if (result == nullptr || index >= result->dictionary.Count()) return nullptr;
  return result->dictionary.Entries()[index].first.c_str();
}

const char* tovalix_result_value(const tovalix_result* result, const char* key) {
  if (result == nullptr || key == nullptr) return nullptr;
  for (const auto& [name, value] : result->dictionary.Entries()) {
    if (name == key) return value.c_str();
  }
  return nullptr;
}

const char* tovalix_result_json(const tovalix_result* result) {
  return result == nullptr ? nullptr : result->json.c_str();
}

void tovalix_result_free(tovalix_result* result) {
  delete result;
}

}  // extern "C"
