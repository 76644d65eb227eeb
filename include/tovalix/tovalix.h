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

/* The banking agent's counter and the Hypercom Optimum's printer (a tovalix_mostrador): a
 * teller signs in and out, each counter operation is logged, remittance orders are looked up
 * and paid out, gift cards get their PIN, and vouchers and sales tickets are printed. Created
 * and called like a tovalix_cliente, with the same callbacks and the same rules. */
typedef struct tovalix_mostrador tovalix_mostrador;
TOVALIX_EXPORT tovalix_mostrador* tovalix_mostrador_create(tovalix_message_box_fn message_box,
                                                           tovalix_pump_fn pump, void* user_data);
TOVALIX_EXPORT void tovalix_mostrador_destroy(tovalix_mostrador* mostrador);

/* The counter's operations; NULL only when `mostrador` is NULL or memory ran out. A NULL text
 * counts as the empty text. A refused check leaves the result as it was first filled ("status"
 * empty, for instance) after telling the operator why.
 * tovalix_sesion_cajero: operation_type "C" signs the teller in, "D" out.
 * tovalix_registra_bitacora: `count` entries, the key of each in `keys` and its value in
 * `values` ("total", "date_time", "truncated", "address1", "address2", "address3", "brand",
 * "rfc", "phone", "teller", "response_message", "operation_type"); a key given twice keeps
 * its last value.
 * tovalix_paga_remesa: at least one identification document must be given.
 * tovalix_asigna_nip: a four-digit nip for the gift card whose tracks the host has read. */
TOVALIX_EXPORT tovalix_result* tovalix_sesion_cajero(tovalix_mostrador* mostrador, const char* user,
                                                     const char* nip, const char* track2,
                                                     const char* operation_type);
TOVALIX_EXPORT tovalix_result* tovalix_registra_bitacora(tovalix_mostrador* mostrador, size_t count,
                                                         const char* const* keys,
                                                         const char* const* values);
TOVALIX_EXPORT tovalix_result* tovalix_consulta_remesa(tovalix_mostrador* mostrador,
                                                       const char* order);
TOVALIX_EXPORT tovalix_result* tovalix_paga_remesa(tovalix_mostrador* mostrador, const char* order,
                                                   const char* visa, const char* passport,
                                                   const char* green_card,
                                                   const char* social_security,
                                                   const char* consular_id, const char* voter_id,
                                                   const char* driving_licence);
TOVALIX_EXPORT tovalix_result* tovalix_asigna_nip(tovalix_mostrador* mostrador, const char* nip,
                                                  const char* track1, const char* track2);
/* Printing on the Optimum: 1 when everything printed, 0 otherwise (the operator has been told
 * why; also for a NULL mostrador). tovalix_imprime_voucher prints the voucher of `operation`
 * (11 card payment, 1 gift card, 22 counter service) from `count` entries of `keys` and
 * `values` (as for tovalix_registra_bitacora): a customer's and a cashier's copy.
 * tovalix_imprime_ticket prints a sales ticket once: each of the `article_count` articles is
 * "description,quantity,unit price", each of the `payment_count` payments "concept,amount". */
TOVALIX_EXPORT int16_t tovalix_imprime_voucher(tovalix_mostrador* mostrador, size_t count,
                                               const char* const* keys, const char* const* values,
                                               const char* text, int16_t operation);
TOVALIX_EXPORT int16_t tovalix_imprime_ticket(tovalix_mostrador* mostrador, const char* name,
                                              const char* address1, const char* address2,
                                              const char* address3, const char* phone,
                                              const char* folio, const char* total,
                                              size_t article_count, const char* const* articles,
                                              size_t payment_count, const char* const* payments);

/* The Ingenico iPP320's commands for hosts that drive the PIN pad themselves (a tovalix_ipp320):
 * frames come back as compact hex text (pairs of hex digits, a single last digit is the LRC
 * byte), answers are handed in as spaced hex (two upper-case digits and a blank per byte). No
 * port is opened. A text returned by a tovalix_ipp320_ function belongs to the object and
 * lives until the next call on it; it is "" when no frame could be built (the operator has
 * been told why) and NULL only when `ipp320` is NULL or memory ran out. A NULL message_box
 * prints messages on standard error. */
typedef struct tovalix_ipp320 tovalix_ipp320;
TOVALIX_EXPORT tovalix_ipp320* tovalix_ipp320_create(tovalix_message_box_fn message_box,
                                                     void* user_data);
TOVALIX_EXPORT void tovalix_ipp320_destroy(tovalix_ipp320* ipp320);
TOVALIX_EXPORT const char* tovalix_ipp320_refresh_logo(tovalix_ipp320* ipp320);
TOVALIX_EXPORT const char* tovalix_ipp320_obten_serial(tovalix_ipp320* ipp320);
TOVALIX_EXPORT const char* tovalix_ipp320_retire_tarjeta(tovalix_ipp320* ipp320,
                                                         const char* message);
/* A keyboard entry of min_length to max_length characters (each 0 to 255). */
TOVALIX_EXPORT const char* tovalix_ipp320_captura_en_pinpad(tovalix_ipp320* ipp320,
                                                            int16_t max_length, int16_t min_length);
/* The typed bytes of a keyboard answer, as spaced hex ("" if none). */
TOVALIX_EXPORT const char* tovalix_ipp320_obten_cvv2(tovalix_ipp320* ipp320, const char* answer);
/* Also sets *shown (when `shown` is not NULL) to the 32-character line the PIN pad shows, a
 * text that lives as the returned frame does. */
TOVALIX_EXPORT const char* tovalix_ipp320_arma_mensaje(tovalix_ipp320* ipp320, const char* message,
                                                       const char** shown);
TOVALIX_EXPORT const char* tovalix_ipp320_limpia_pantalla(tovalix_ipp320* ipp320);
TOVALIX_EXPORT const char* tovalix_ipp320_arma_logo(tovalix_ipp320* ipp320);
/* 1 when the `length` received bytes at `frame` (which may hold NUL bytes) end with ETX and a
 * correct LRC and hold STX followed by the command `command` (compact hex, e.g. "494330");
 * else 0. */
TOVALIX_EXPORT int16_t tovalix_ipp320_verifica_respuesta(tovalix_ipp320* ipp320, const char* frame,
                                                         size_t length, const char* command);
/* A card reading for an amount and a tip (each 0 to 9,999,999,999.99, a whole number of
 * centavos: 10.004 builds no frame), showing `message`; the local date and time go in. */
TOVALIX_EXPORT const char* tovalix_ipp320_ic0(tovalix_ipp320* ipp320, double amount, double tip,
                                              const char* message);
/* The authorization outcome for the chip card: status "00" approved or "01" declined. */
TOVALIX_EXPORT const char* tovalix_ipp320_ic1(tovalix_ipp320* ipp320, const char* status,
                                              const char* response_code, const char* authorization);
TOVALIX_EXPORT const char* tovalix_ipp320_libera(tovalix_ipp320* ipp320);
TOVALIX_EXPORT const char* tovalix_ipp320_config_pinpad(tovalix_ipp320* ipp320);
/* The tracks of an IC0 answer: ServiceCode, Track1, Track2, Status, EMV_Tags, ARQC, AID, Exp,
 * every value empty when the text holds no IC0 answer; mode 3 for a fallback reading's answer,
 * 0 otherwise. NULL also when the answer is cut short or malformed (the operator has been
 * told). The result is the caller's, freed with tovalix_result_free. */
TOVALIX_EXPORT tovalix_result* tovalix_ipp320_obten_tracks(tovalix_ipp320* ipp320,
                                                           const char* answer, int16_t mode);
/* EMV_Tags, ARQC and AID of EMV data given as hex (blanks allowed); the caller's result. */
TOVALIX_EXPORT tovalix_result* tovalix_ipp320_tags_validos(tovalix_ipp320* ipp320,
                                                           const char* emv_data);

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
