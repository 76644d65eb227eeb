/* The simulators for C hosts: the payment gateway on 127.0.0.1 and a Hypercom Optimum on a
 * pseudo-terminal, started inside the host's process. Each start returns NULL when the
 * simulator cannot start; each stop ends it and frees it. Texts handed out live until the
 * next call on the same simulator. Linux only. */
#ifndef TOVALIX_SIM_C_H
#define TOVALIX_SIM_C_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tovalix_sim_gateway tovalix_sim_gateway;
/* Approves every request by its process_type. */
tovalix_sim_gateway* tovalix_sim_gateway_start(void);
/* "http://127.0.0.1:<port>", the base of the gateway's and the banking-agent service's paths. */
const char* tovalix_sim_gateway_base(tovalix_sim_gateway* gateway);
size_t tovalix_sim_gateway_requests(tovalix_sim_gateway* gateway);
/* The value of the last request's form field `name` ("" when absent). */
const char* tovalix_sim_gateway_last_value(tovalix_sim_gateway* gateway, const char* name);
void tovalix_sim_gateway_stop(tovalix_sim_gateway* gateway);

typedef struct tovalix_sim_optimum tovalix_sim_optimum;
tovalix_sim_optimum* tovalix_sim_optimum_start(void);
/* The path a host opens as the terminal's serial port. */
const char* tovalix_sim_optimum_port(tovalix_sim_optimum* optimum);
/* The print texts its printer printed, in order; NULL past the last. */
const char* tovalix_sim_optimum_printed(tovalix_sim_optimum* optimum, size_t index);
void tovalix_sim_optimum_stop(tovalix_sim_optimum* optimum);

#ifdef __cplusplus
}
#endif

#endif /* TOVALIX_SIM_C_H */
