/* The C interface of Tovalix, for hosts that are not written in C++.
 *
 * Texts are NUL-terminated UTF-8. No C++ exception or type crosses this interface: every
 * function catches what happens inside it. A result handed out by a function below belongs to
 * the caller, who frees it with tovalix_result_free; the texts read from a result live as long
 * as the result. All calls on one tovalix_cliente happen on one thread, one at a time. */
#ifndef TOVALIX_TOVALIX_H
#define TOVALIX_TOVALIX_H

#include <stddef.h>
#include <stdint.h>

#include <tovalix/export.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tovalix_cliente tovalix_cliente;
typedef struct tovalix_result tovalix_result;

/* Shows `text` to the operator (modal); style 16 is the critical-stop icon, 0 no icon; an empty
 * title means the host's default. */
typedef void (*tovalix_message_box_fn)(void* user_data, const char* text, int style,
                                       const char* title);
/* Lets the host's event loop run once while the component waits. May be NULL. */
typedef void (*tovalix_pump_fn)(void* user_data);

/* The library's version, "major.minor.patch". */
TOVALIX_EXPORT const char* tovalix_version(void);

/* A new control. A NULL message_box prints messages on standard error. NULL when out of
 * memory. */
TOVALIX_EXPORT tovalix_cliente* tovalix_cliente_create(tovalix_message_box_fn message_box,
                                                       tovalix_pump_fn pump, void* user_data);
TOVALIX_EXPORT void tovalix_cliente_destroy(tovalix_cliente* cliente);

/* The control's operations; NULL only when `cliente` is NULL or memory ran out. A NULL text
 * argument counts as the empty text. */
TOVALIX_EXPORT tovalix_result* tovalix_pago_tarjeta(
    tovalix_cliente* cliente, int32_t id_store, double amount, double tip, double total,
    int32_t id_transaction, int16_t operation_type, const char* authorization_number,
    int32_t id_client_tx, int32_t id_server_tx, const char* initial_deferment,
    const char* number_of_payments, const char* plan_type);
TOVALIX_EXPORT tovalix_result* tovalix_tiempo_aire_status_venta(tovalix_cliente* cliente,
                                                                const char* provider,
                                                                const char* pos_time_stamp);
TOVALIX_EXPORT tovalix_result* tovalix_tiempo_aire(tovalix_cliente* cliente,
                                                   const char* teller_login, const char* provider,
                                                   const char* top_up_telephone, double amount,
                                                   const char* pos_time_stamp);
TOVALIX_EXPORT tovalix_result* tovalix_tiempo_aire_consulta_saldo(tovalix_cliente* cliente,
                                                                  const char* teller_login);
TOVALIX_EXPORT tovalix_result* tovalix_tiempo_aire_cantidades(tovalix_cliente* cliente,
                                                              const char* provider);
/* Card sales in doubt. A sale is approved when Response_Message is "APROBADA" (or
 * "DEMO - APROBADA") with an Authorization_Number that is not all zeros. ID_Tx "-3": nothing
 * reached the gateway. ID_Tx "-4": the request reached the gateway but no usable answer came
 * back, so the charge may have gone through (Response_Message begins "VENTA EN DUDA"); confirm
 * with the gateway before charging again. Every sale is journaled before its request leaves
 * ("journal.jsonl" beside the settings file), so a sale interrupted while the gateway holds it
 * is listed too.
 * tovalix_ventas_en_duda: the sales still in doubt, key the journal id, value the sale's latest
 * journal line (JSON). tovalix_concilia_venta: settles sale `id` as charged (cobrada 1) or not
 * (0) by appending to the journal; 1 when settled, 0 when `id` is not in doubt or the journal
 * could not be written (the operator is told why), or `cliente` is NULL. */
TOVALIX_EXPORT tovalix_result* tovalix_ventas_en_duda(tovalix_cliente* cliente);
TOVALIX_EXPORT int16_t tovalix_concilia_venta(tovalix_cliente* cliente, const char* id,
                                              int cobrada);
/* 1 when the terminal was initialized, 0 otherwise (also for a NULL cliente). */
TOVALIX_EXPORT int16_t tovalix_inicializa_pinpad(tovalix_cliente* cliente, const char* id_store,
                                                 int32_t ptid, const char* tipo, const char* serie,
                                                 const char* user_ta, const char* pwd_ta);

/* Reading a result: its number of entries; the key at `index` (NULL past the end); the value
 * under `key` (NULL when absent); the whole result as one JSON object, keys in order. */
TOVALIX_EXPORT size_t tovalix_result_count(const tovalix_result* result);
TOVALIX_EXPORT const char* tovalix_result_key(const tovalix_result* result, size_t index);
TOVALIX_EXPORT const char* tovalix_result_value(const tovalix_result* result, const char* key);
TOVALIX_EXPORT const char* tovalix_result_json(const tovalix_result* result);
TOVALIX_EXPORT void tovalix_result_free(tovalix_result* result);

#ifdef __cplusplus
}
#endif

#endif /* TOVALIX_TOVALIX_H */
