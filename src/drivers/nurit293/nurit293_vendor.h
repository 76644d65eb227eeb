/* The Nurit 293 terminal's library as the driver calls it: seven functions, each returning a
 * signed 16-bit status (0 success) and filling the caller's error object when it fails.
 * Plain C, so that any vendor build (or our simulated one) can be loaded with dlopen.
 *
 * Texts are NUL-terminated 8-bit strings in Windows-1252. Dictionaries are ordered key/value
 * pairs owned by the caller: the library reads `pairs`/`count` and adds or replaces an entry
 * through `set`, which copies both texts and updates `pairs` and `count` (earlier pointers
 * into `pairs` are no longer valid after a `set`). A dictionary is valid only during the call
 * it is handed to.
 *
 * The seven functions are called with NURIT293_CALL: __stdcall on 32-bit Windows, where the
 * vendor builds its library for Visual Basic's Declare (the build defines it so there), and
 * the platform's only convention elsewhere, 64-bit Windows included. The dictionary's `set`
 * is ours and keeps the C default.
 */
#ifndef TOVALIX_NURIT293_VENDOR_H
#define TOVALIX_NURIT293_VENDOR_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef NURIT293_CALL
#define NURIT293_CALL
#endif

#define NURIT293_DESCRIPTION_SIZE 512

typedef struct Nurit293Error {
  int32_t number;
  char description[NURIT293_DESCRIPTION_SIZE]; /* NUL-terminated; cut short when longer */
} Nurit293Error;

typedef struct Nurit293Pair {
  const char* key;
  const char* value;
} Nurit293Pair;

typedef struct Nurit293Dictionary Nurit293Dictionary;
struct Nurit293Dictionary {
  const Nurit293Pair* pairs; /* in insertion order */
  size_t count;
  /* Replaces the value of `key` (compared exactly) or appends it; 0 on success. */
  int (*set)(Nurit293Dictionary* self, const char* key, const char* value);
  void* owner; /* the caller's; the library leaves it alone */
};

/* Opens the terminal named `device` ("NURIT293") with the serial settings in `settings`
 * (Port, BaudRate, Parity, StopBits, DataBits). */
typedef int16_t(NURIT293_CALL* Nurit293PrepareDevice)(const char* device,
                                                      Nurit293Dictionary* settings,
                                                      Nurit293Error* error);
/* Starts a transaction on the terminal. */
typedef int16_t(NURIT293_CALL* Nurit293StartTransaction)(Nurit293Error* error);
/* Waits for the card (and the PIN where needed) for the "Total" in `transaction`; fills `card`
 * with Track2, Track1, PosEntryMode ("Chip", "MagStripe", ...) and, for a chip, EMVTags. */
typedef int16_t(NURIT293_CALL* Nurit293ReadCardEx)(Nurit293Dictionary* transaction,
                                                   Nurit293Dictionary* card, Nurit293Error* error);
/* Completes a chip transaction with the host's "Result" and "AuthCode". */
typedef int16_t(NURIT293_CALL* Nurit293NotifyResult)(Nurit293Dictionary* outcome,
                                                     Nurit293Error* error);
/* Shows `text` on the terminal's display. */
typedef int16_t(NURIT293_CALL* Nurit293DisplayText)(const char* text, Nurit293Error* error);
/* Ends the transaction. */
typedef int16_t(NURIT293_CALL* Nurit293EndTransaction)(Nurit293Error* error);
/* Closes the terminal. */
typedef int16_t(NURIT293_CALL* Nurit293ReleaseDevice)(Nurit293Error* error);

/* The exported names. */
int16_t NURIT293_CALL VB_prepareDevice(const char* device, Nurit293Dictionary* settings,
                                       Nurit293Error* error);
int16_t NURIT293_CALL VB_startTransaction(Nurit293Error* error);
int16_t NURIT293_CALL VB_readCardEx(Nurit293Dictionary* transaction, Nurit293Dictionary* card,
                                    Nurit293Error* error);
int16_t NURIT293_CALL VB_notifyResult(Nurit293Dictionary* outcome, Nurit293Error* error);
int16_t NURIT293_CALL VB_displayText(const char* text, Nurit293Error* error);
int16_t NURIT293_CALL VB_endTransaction(Nurit293Error* error);
int16_t NURIT293_CALL VB_releaseDevice(Nurit293Error* error);

#ifdef __cplusplus
}
#endif

#endif /* TOVALIX_NURIT293_VENDOR_H */
