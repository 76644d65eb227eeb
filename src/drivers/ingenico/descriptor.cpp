// The Ingenico 3070 and iPP320 in the table of models: one protocol, different adapters and a
// serial number of different length.
#include "common/error_report.hpp"
#include "drivers/ingenico/commands.hpp"
#include "drivers/ingenico/exchange.hpp"
#include "drivers/ingenico/sale.hpp"
#include "drivers/models.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::ingenico {
namespace {

constexpr std::string_view kDevices3070[] = {"\\device\\slabser0", "\\device\\slabser1"};
constexpr std::string_view kDevicesIPP320[] = {"\\device\\USBSER000", "\\device\\USBSER001"};

// `count` characters of `text` from `start`, as far as the text goes.
std::string Tramo(const std::string& text, std::size_t start, std::size_t count) {
  return start >= text.size() ? std::string() : text.substr(start, count);
}

// The Ingenico answers CF0 with its serial number six (3070) or seven (iPP320) bytes after the
// command; it is kept in spaced hex, as the gateway has always received it.
std::string SerieIngenico(serial::SerialLink& link, Operator& op, std::size_t bytes) {
  Ingenico ingenico(op, platform::LocalNow());
  if (EnviaRecibe(link, ingenico.ConfigPinPad(), "434630") != 1) return "";
  const std::string hex = serial::TextoAHex(link.BufferRecepcion());
  const std::size_t cf0 = hex.find("43 46 30");
  if (cf0 == std::string::npos) return "";
  return Tramo(hex, cf0 + 18, bytes * 3);
}

std::string Serial3070(serial::SerialLink& link, Operator& op) {
  return SerieIngenico(link, op, 6);
}

std::string SerialIPP320(serial::SerialLink& link, Operator& op) {
  return SerieIngenico(link, op, 7);
}

}  // namespace

extern const ModelDescriptor kIngenico3070Model{
    "INGENICO3070", {kDevices3070, {}}, kFormat,    kCapacidadImporte,
    true,           &VentaIngenico3070, &Serial3070};
extern const ModelDescriptor kIPP320Model{
    "IPP320", {kDevicesIPP320, {}}, kFormat, kCapacidadImporte, true, &VentaIPP320, &SerialIPP320};

}  // namespace tovalix::drivers::ingenico
