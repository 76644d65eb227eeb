/* What a C host of the suite does in the Windows way: a scratch folder, the environment. */
#ifndef TOVALIX_TESTS_C_HOST_PLATFORM_H
#define TOVALIX_TESTS_C_HOST_PLATFORM_H

#include <windows.h>
/* windows.h first: the headers below need its types. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* A fresh folder under the user's temporary folder, its path in `folder`; 0 when it cannot be
 * made. */
static int make_scratch_folder(char* folder, size_t size) {
  char temp[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof temp, temp);
  if (length == 0 || length > MAX_PATH) return 0;
  if (snprintf(folder, size, "%stovalix-c-host-%lu-%lu", temp, (unsigned long)GetCurrentProcessId(),
               (unsigned long)GetTickCount()) >= (int)size) {
    return 0;
  }
  return CreateDirectoryA(folder, NULL) != 0;
}

/* Windows has no empty variables; the C run time's copy and the process's stay in step. */
static void set_env(const char* name, const char* value) {
  _putenv_s(name, value);
}

/* Removes the folder and everything in it; 0 when it cannot. */
static int remove_folder(const char* folder) {
  char command[300];
  snprintf(command, sizeof command, "rmdir /s /q \"%s\"", folder);
  return system(command) == 0;
}

#endif
