#include "serial/busca_puerto.hpp"

#include "common/error_report.hpp"
#include "common/failure.hpp"
#include "platform/serial_port.hpp"

namespace tovalix::serial {

std::int16_t BuscaPuerto(Operator& op) {
  std::int16_t found = 0;
  RunTrapped(op, [&] {
    for (std::int16_t number = 1; number <= 9; ++number) {
      try {
        platform::OpenSerialPort(platform::NativePortPath(number))->Close();
      } catch (const Failure&) {
        continue;  // a port that cannot be opened is skipped
      }
      found = number;
      return;
    }
  });
  return found;
}

}  // namespace tovalix::serial
