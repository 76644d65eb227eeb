// A library that exports six of the seven functions (no VB_notifyResult): the loader must
// refuse it rather than call through a missing entry point.
#include <cstdint>

#include "drivers/nurit293/nurit293_vendor.h"

namespace {
std::int16_t Refuse(Nurit293Error* error) {
  if (error != nullptr) error->number = 1;
  return -1;
}
}  // namespace

extern "C" {
int16_t NURIT293_CALL VB_prepareDevice(const char*, Nurit293Dictionary*, Nurit293Error* error) {
  return Refuse(error);
}
int16_t NURIT293_CALL VB_startTransaction(Nurit293Error* error) {
  return Refuse(error);
}
int16_t NURIT293_CALL VB_readCardEx(Nurit293Dictionary*, Nurit293Dictionary*,
                                    Nurit293Error* error) {
  return Refuse(error);
}
int16_t NURIT293_CALL VB_displayText(const char*, Nurit293Error* error) {
  return Refuse(error);
}
int16_t NURIT293_CALL VB_endTransaction(Nurit293Error* error) {
  return Refuse(error);
}
int16_t NURIT293_CALL VB_releaseDevice(Nurit293Error* error) {
  return Refuse(error);
}
}
