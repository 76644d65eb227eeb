// The C interface over Mostrador: the counter's operations and the Optimum's printing, with
// the host's dictionaries and arrays handed in as plain C arrays.
#include <tovalix/tovalix.h>
#include <tovalix/mostrador.hpp>

#include "capi/capi_support.hpp"

using tovalix::capi::CallbackOperator;
using tovalix::capi::DictionaryOf;
using tovalix::capi::New;
using tovalix::capi::Text;
using tovalix::capi::TextsOf;
using tovalix::capi::Wrap;
using tovalix::capi::WrapNumber;

struct tovalix_mostrador {
  tovalix_mostrador(tovalix_message_box_fn message_box, tovalix_pump_fn pump, void* user_data)
      : op(message_box, pump, user_data), counter(op) {}
  CallbackOperator op;
  tovalix::Mostrador counter;
};

extern "C" {

tovalix_mostrador* tovalix_mostrador_create(tovalix_message_box_fn message_box,
                                            tovalix_pump_fn pump, void* user_data) {
  return New<tovalix_mostrador>(message_box, pump, user_data);
}

void tovalix_mostrador_destroy(tovalix_mostrador* mostrador) {
  delete mostrador;
}

tovalix_result* tovalix_sesion_cajero(tovalix_mostrador* mostrador, const char* user,
                                      const char* nip, const char* track2,
                                      const char* operation_type) {
  return Wrap(mostrador, [&] {
    return mostrador->counter.SesionCajero(Text(user), Text(nip), Text(track2),
                                           Text(operation_type));
  });
}

tovalix_result* tovalix_registra_bitacora(tovalix_mostrador* mostrador, size_t count,
                                          const char* const* keys, const char* const* values) {
  return Wrap(mostrador, [&] {
    return mostrador->counter.RegistraBitacora(DictionaryOf(count, keys, values));
  });
}

tovalix_result* tovalix_consulta_remesa(tovalix_mostrador* mostrador, const char* order) {
  return Wrap(mostrador, [&] { return mostrador->counter.ConsultaRemesa(Text(order)); });
}

tovalix_result* tovalix_paga_remesa(tovalix_mostrador* mostrador, const char* order,
                                    const char* visa, const char* passport, const char* green_card,
                                    const char* social_security, const char* consular_id,
                                    const char* voter_id, const char* driving_licence) {
  return Wrap(mostrador, [&] {
    return mostrador->counter.PagaRemesa(Text(order), Text(visa), Text(passport), Text(green_card),
                                         Text(social_security), Text(consular_id), Text(voter_id),
                                         Text(driving_licence));
  });
}

tovalix_result* tovalix_asigna_nip(tovalix_mostrador* mostrador, const char* nip,
                                   const char* track1, const char* track2) {
  return Wrap(mostrador,
              [&] { return mostrador->counter.AsignaNip(Text(nip), Text(track1), Text(track2)); });
}

int16_t tovalix_imprime_voucher(tovalix_mostrador* mostrador, size_t count, const char* const* keys,
                                const char* const* values, const char* text, int16_t operation) {
  return WrapNumber(mostrador, [&] {
    return mostrador->counter.ImprimeVoucher(DictionaryOf(count, keys, values), Text(text),
                                             operation);
  });
}

int16_t tovalix_imprime_ticket(tovalix_mostrador* mostrador, const char* name, const char* address1,
                               const char* address2, const char* address3, const char* phone,
                               const char* folio, const char* total, size_t article_count,
                               const char* const* articles, size_t payment_count,
                               const char* const* payments) {
  return WrapNumber(mostrador, [&] {
    return mostrador->counter.ImprimeTicket(
        Text(name), Text(address1), Text(address2), Text(address3), Text(phone), Text(folio),
        Text(total), TextsOf(article_count, articles), TextsOf(payment_count, payments));
  });
}

}  // extern "C"
