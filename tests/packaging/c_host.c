/* A C host of the installed package: the version, and an operation on a terminal that was never
 * initialized, which must fail cleanly through the host's own message box. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tovalix/tovalix.h>

static int boxes = 0;

static void message_box(void* user_data, const char* text, int style, const char* title) {
  (void)user_data, (void)text, (void)style, (void)title;
  ++boxes;
}

int main(int argc, char** argv) {
  if (argc < 2 || strcmp(tovalix_version(), argv[1]) != 0) return 1;
  tovalix_cliente* cliente = tovalix_cliente_create(message_box, NULL, NULL);
  tovalix_result* result = tovalix_tiempo_aire_cantidades(cliente, "TELCEL");
  const int ok = result != NULL && tovalix_result_count(result) > 0 && boxes > 0;
  tovalix_result_free(result);
  tovalix_cliente_destroy(cliente);
  printf("c host: %s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
