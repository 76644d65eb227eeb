/* A small C host of the C interface: it creates a control with its own callbacks, calls an
 * operation on an uninitialized terminal and reads the result by index, by key and as JSON. */
#include "c_host_platform.h" /* of this platform: tests/support/posix or tests/support/windows */

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tovalix/tovalix.h>

#include "c_host_common.h"

int main(void) {
  char folder[256];
  if (!make_scratch_folder(folder, sizeof folder)) return 1;
  char settings[256];
  snprintf(settings, sizeof settings, "%s/PinPad.ini", folder);
  set_env("TOVALIX_SETTINGS", settings);
  set_env("TOVALIX_LOG_DIR", folder);

  tovalix_cliente* cliente = tovalix_cliente_create(message_box, NULL, NULL);
  CHECK(cliente != NULL);
  CHECK(strlen(tovalix_version()) > 0);

  tovalix_result* result =
      tovalix_pago_tarjeta(cliente, 5, 150.5, 0, 150.5, 9, 1, "", 0, 0, "", "", "");
  CHECK(result != NULL);
  CHECK(tovalix_result_count(result) == 23);
  CHECK(strcmp(tovalix_result_key(result, 0), "ID_Store") == 0);
  CHECK(tovalix_result_key(result, 23) == NULL);
  CHECK(strcmp(tovalix_result_value(result, "ID_Tx"), "-3") == 0);
  CHECK(strcmp(tovalix_result_value(result, "Amount"), "150.5") == 0);
  CHECK(tovalix_result_value(result, "missing") == NULL);
  CHECK(strncmp(tovalix_result_json(result), "{\"ID_Store\":\"5\",", 16) == 0);
  CHECK(strstr(tovalix_result_value(result, "Response_Message"), "Pin Pad mal inicializada") !=
        NULL);
  CHECK(boxes == 2); /* the loader's message, then the payment's */
  CHECK(last_style == 16);
  tovalix_result_free(result);

  /* A terminal without a PIN pad and without a serial number is not initialized, silently. */
  boxes = 0;
  CHECK(tovalix_inicializa_pinpad(cliente, "5", 1, "NINGUNA", "", "", "") == 0);
  CHECK(boxes == 0);

  /* The sale journal: an older journal's line in doubt goes by its line number; settled once. */
  char journal[300];
  snprintf(journal, sizeof journal, "%s/journal.jsonl", folder);
  FILE* file = fopen(journal, "w");
  CHECK(file != NULL && fputs("{\"ID_Tx\":\"-3\",\"in_doubt\":true}\n", file) >= 0);
  if (file != NULL) fclose(file);
  result = tovalix_ventas_en_duda(cliente);
  CHECK(tovalix_result_count(result) == 1 && strcmp(tovalix_result_key(result, 0), "#1") == 0);
  tovalix_result_free(result);
  CHECK(tovalix_concilia_venta(cliente, "#1", 0) == 1);
  boxes = 0;
  CHECK(tovalix_concilia_venta(cliente, "#1", 1) == 0 && boxes == 1);
  result = tovalix_ventas_en_duda(cliente);
  CHECK(tovalix_result_count(result) == 0);
  tovalix_result_free(result);

  /* NULL is handled at every door. */
  CHECK(tovalix_pago_tarjeta(NULL, 5, 1, 0, 1, 1, 1, NULL, 0, 0, NULL, NULL, NULL) == NULL);
  CHECK(tovalix_result_count(NULL) == 0);
  CHECK(tovalix_ventas_en_duda(NULL) == NULL && tovalix_concilia_venta(NULL, "#1", 1) == 0);
  CHECK(tovalix_result_json(NULL) == NULL);
  tovalix_result_free(NULL);
  tovalix_cliente_destroy(cliente);

  if (!remove_folder(folder)) ++failures;
  printf("c host: %d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
