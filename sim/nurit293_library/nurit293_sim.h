/* The simulated Nurit 293 library's script API. The simulated library exports the seven VB_
 * functions of nurit293_vendor.h and these functions, which a test (or any host) calls after
 * dlopen'ing the same shared object (libtovalix_nurit293_sim.so): dlopen of one path gives one
 * object, so the script set here is the one the driver's loader meets.
 *
 * Card readings: each VB_readCardEx takes the next queued reading; with none queued it reads
 * the default card, a chip card with service code 201 that the gateway simulator approves
 * (so that a host that only sets TOVALIX_NURIT293_LIB runs an approved chip sale).
 * Failures: a queued failure makes the next call of that function return its status and fill
 * the error object with its number and description, before any other check.
 * Without a script the library still checks its use: calls on a device that is not prepared,
 * a second preparation, a reading outside a transaction or settings other than 19200,N,8,1
 * fail with status -1 and number 1001 to 1005.
 * Every call is recorded, with its arguments, in order.
 */
#ifndef TOVALIX_NURIT293_SIM_H
#define TOVALIX_NURIT293_SIM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Forgets the script, the calls and the device state. */
void TovalixSimNurit293_Reset(void);

/* Queues a reading: PosEntryMode ("Chip", "MagStripe", or any text), Track2 (may be empty),
 * Track1, and for a chip the EMVTags text (NULL: no EMVTags key). */
void TovalixSimNurit293_AddCard(const char* pos_entry_mode, const char* track2, const char* track1,
                                const char* emv_tags);

/* Makes the next call of `function` ("VB_prepareDevice" ... "VB_releaseDevice") fail. */
void TovalixSimNurit293_Fail(const char* function, int16_t status, int32_t number,
                             const char* description);

/* Number of calls recorded since the last reset. */
size_t TovalixSimNurit293_CallCount(void);

/* The call at `index` as text, its name and arguments separated by blanks, each dictionary
 * as {key=value|key=value}: "VB_prepareDevice NURIT293 {Port=COM3|BaudRate=19200|...}",
 * "VB_readCardEx {Total=100} {}", "VB_displayText Procesando...". Copies at most size - 1
 * bytes and a NUL into `buffer`; returns the full length (0 for an index past the end). */
size_t TovalixSimNurit293_Call(size_t index, char* buffer, size_t size);

/* 1 while the simulated device is prepared. */
int TovalixSimNurit293_Prepared(void);

#ifdef __cplusplus
}
#endif

#endif /* TOVALIX_NURIT293_SIM_H */
