/* A C host of the counter, against the gateway simulator and a simulated Optimum: it
 * initializes the terminal, signs a teller in, pays a remittance, gives a gift card its PIN and
 * prints a voucher; then checks one IPP320 frame. */
#include "c_host_platform.h"

#include <sim/c/tovalix_sim.h>
#include <tovalix/tovalix.h>

#include "c_host_common.h"

static tovalix_sim_gateway* gateway;
static size_t requests = 0;

/* One counter call: its result's `key` reads `expected`, after exactly one request of
 * `process`, or none when `process` is NULL. */
static void expect(tovalix_result* result, const char* key, const char* expected,
                   const char* process) {
  const char* value = tovalix_result_value(result, key);
  CHECK(value != NULL && strcmp(value, expected) == 0);
  CHECK(tovalix_sim_gateway_requests(gateway) == requests + (process != NULL));
  requests = tovalix_sim_gateway_requests(gateway);
  CHECK(!process || !strcmp(tovalix_sim_gateway_last_value(gateway, "process_type"), process));
  tovalix_result_free(result);
}

int main(void) {
  static const char track1[] = "B4000000000000002^PRUEBA/TARJETA^25121010000";
  static const char track2[] = "4000000000000002=2512101";
  /* A key given twice keeps its last value. */
  static const char* voucher_keys[] = {"process_type", "track2", "amount", "amount"};
  static const char* voucher_values[] = {"CBCardPayment", track2, "1", "1500.50"};
  static const char frame[] = "\2CF1\0\0\0037"; /* NUL bytes in its length field */
  char folder[256], path[300];
  tovalix_sim_optimum* optimum = tovalix_sim_optimum_start();
  gateway = tovalix_sim_gateway_start();
  if (!make_scratch_folder(folder, sizeof folder) || !gateway || !optimum) return 1;
  snprintf(path, sizeof path, "%s/devices.tsv", folder);
  FILE* devices = fopen(path, "w");
  if (devices == NULL) return 1;
  fprintf(devices, "\\device\\Serial2\t%s\n", tovalix_sim_optimum_port(optimum));
  fclose(devices);
  set_env("TOVALIX_DEVICE_MAP", path);
  set_env("TOVALIX_SETTINGS", strcat(strcpy(path, folder), "/PinPad.ini"));
  set_env("TOVALIX_LOG_DIR", folder);
  set_env("TOVALIX_COUNTER_URL", tovalix_sim_gateway_base(gateway));
  set_env("TOVALIX_GATEWAY_URL", strcat(strcpy(path, tovalix_sim_gateway_base(gateway)), "/gw"));
  tovalix_cliente* cliente = tovalix_cliente_create(message_box, NULL, NULL);
  CHECK(tovalix_inicializa_pinpad(cliente, "5", 1001, "OPTIMUM", "", "", "") == 1);
  tovalix_cliente_destroy(cliente);

  tovalix_mostrador* mostrador = tovalix_mostrador_create(message_box, NULL, NULL);
  requests = tovalix_sim_gateway_requests(gateway);
  /* Three equal digits in a row: refused with a box, before any request. */
  expect(tovalix_sesion_cajero(mostrador, "11123456", "1234", track2, "C"), "status", "", NULL);
  expect(tovalix_sesion_cajero(mostrador, "12345678", "1234", track2, "C"), "status", "1",
         "ConnectUser");
  expect(tovalix_consulta_remesa(mostrador, "ORD-7"), "status", "ORDEN DISPONIBLE", "OREXCheck");
  expect(tovalix_paga_remesa(mostrador, "ORD-7", NULL, "G1234567", NULL, NULL, NULL, NULL, NULL),
         "status", "ORDEN PAGADA", "OREXPay");
  CHECK(strcmp(tovalix_sim_gateway_last_value(gateway, "pasaporte"), "G1234567") == 0);
  expect(tovalix_asigna_nip(mostrador, "2468", track1, track2), "error", "", "GCSetNip");
  CHECK(tovalix_imprime_voucher(mostrador, 4, voucher_keys, voucher_values, NULL, 22) == 1);
  const char* copy = tovalix_sim_optimum_printed(optimum, 1);
  CHECK(copy && strstr(copy, "COPIA CAJERO") && strstr(copy, "IMPORTE $1,500.50") &&
        !strstr(copy, "4000000000000002"));
  CHECK(tovalix_sim_optimum_printed(optimum, 2) == NULL && boxes == 1);
  tovalix_mostrador_destroy(mostrador);

  tovalix_ipp320* ipp320 = tovalix_ipp320_create(message_box, NULL);
  CHECK(strcmp(tovalix_ipp320_obten_serial(ipp320), "0243463100000337") == 0);
  CHECK(tovalix_ipp320_verifica_respuesta(ipp320, frame, 8, "434631") == 1);
  tovalix_ipp320_destroy(ipp320);
  tovalix_sim_gateway_stop(gateway);
  tovalix_sim_optimum_stop(optimum);
  if (!remove_folder(folder)) ++failures;
  printf("c host counter: %d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
