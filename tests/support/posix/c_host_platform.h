/* What a C host of the suite does in the POSIX way: a scratch folder, the environment. */
#ifndef TOVALIX_TESTS_C_HOST_PLATFORM_H
#define TOVALIX_TESTS_C_HOST_PLATFORM_H

#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* A fresh private folder under /tmp, its path in `folder`; 0 when it cannot be made. */
static int make_scratch_folder(char* folder, size_t size) {
  if (snprintf(folder, size, "/tmp/tovalix-c-host-XXXXXX") >= (int)size) return 0;
  return mkdtemp(folder) != NULL;
}

static void set_env(const char* name, const char* value) {
  setenv(name, value, 1);
}

/* Removes the folder and everything in it; 0 when it cannot. */
static int remove_folder(const char* folder) {
  char command[300];
  snprintf(command, sizeof command, "rm -rf '%s'", folder);
  return system(command) == 0;
}

#endif
