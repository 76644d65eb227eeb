// The Windows backends under wine, against the same simulators as the Linux suite: the PIN pad
// simulator's pseudo-terminal is a COM port of wine's, the gateway simulator serves on
// 127.0.0.1. scripts/test_windows.sh starts them and names them in the environment:
// TOVALIX_GATEWAY_URL, TOVALIX_DEVICE_MAP (the iPP320's device name to its COM port) and
// TOVALIX_TEST_COM_PORT. The cipher, settings file, journal and XML backends are checked by the
// shared suites (settings, journal, airtime), which run under wine too.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tovalix/cliente.hpp>

#include "platform/serial_port.hpp"
#include "support/test_environment.hpp"

namespace tovalix {
namespace {

// The simulated PIN pad's COM port, "" when none was started.
std::string ComPort() {
  const char* port = std::getenv("TOVALIX_TEST_COM_PORT");
  return port == nullptr ? std::string() : std::string(port);
}

TEST(WindowsSerial, APortIsOneUsersAtATime) {
  const std::string port = ComPort();
  if (port.empty()) GTEST_SKIP() << "no simulated PIN pad";
  const auto first = platform::OpenSerialPort(port);
  EXPECT_THROW(platform::OpenSerialPort(port), platform::PortInUse);
  first->Close();
  EXPECT_NO_THROW(platform::OpenSerialPort(port)->Close());
}

// The whole road of a chip sale: settings in the user's application data, the PIN pad through
// its COM port, the gateway over WinHTTP, the answer back to the card.
TEST(WindowsSale, InitializeThenSellOnAnIpp320) {
  if (ComPort().empty()) GTEST_SKIP() << "no simulated PIN pad";
  testing::RecordingOperator op;
  Cliente cliente(op);
  ASSERT_EQ(cliente.InicializaPinPad("5,17", 1001, "IPP320", "", "", ""), 1)
      << (op.shown.empty() ? "" : op.shown.back().text);
  const Dictionary sale = cliente.PagoTarjeta(17, 150.5, 0, 150.5, 42, 1, "", 0, 0, "", "", "");
  EXPECT_EQ(sale.Item("Response_Message"), "APROBADA");
  EXPECT_EQ(sale.Item("Amount"), "150.5");
  EXPECT_EQ(sale.Item("Pos_entry_mode"), "2");
  EXPECT_TRUE(op.shown.empty()) << op.shown.front().text;
}

}  // namespace
}  // namespace tovalix
