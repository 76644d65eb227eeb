#include <tovalix/ipp320.hpp>

#include "drivers/ingenico/commands.hpp"
#include "platform/clock.hpp"

namespace tovalix {
namespace {

// Each call builds with the local time of that call, as the PIN pad expects it.
drivers::ingenico::Ingenico Driver(Operator& op) {
  return drivers::ingenico::Ingenico(op, platform::LocalNow());
}

}  // namespace

IPP320::IPP320() : own_operator_(std::make_unique<StderrOperator>()), op_(own_operator_.get()) {}
IPP320::IPP320(Operator& op) : op_(&op) {}
IPP320::~IPP320() = default;
IPP320::IPP320(IPP320&&) noexcept = default;
IPP320& IPP320::operator=(IPP320&&) noexcept = default;

std::string IPP320::RefreshLogo() {
  return Driver(*op_).RefreshLogo();
}
std::string IPP320::ObtenSerial() {
  return Driver(*op_).ObtenSerial();
}
std::string IPP320::RetireTarjeta(const std::string& vpMensaje) {
  return Driver(*op_).RetireTarjeta(vpMensaje);
}
std::string IPP320::CapturaEnPinPad(std::int16_t vpLon_Max, std::int16_t vpLon_Min) {
  return Driver(*op_).CapturaEnPinPad(vpLon_Max, vpLon_Min);
}
std::string IPP320::ObtenCVV2(const std::string& vpMensaje) {
  return Driver(*op_).ObtenCVV2(vpMensaje);
}
std::string IPP320::ArmaMensaje(std::string& vpMensaje) {
  return Driver(*op_).ArmaMensaje(vpMensaje);
}
std::string IPP320::LimpiaPantalla() {
  return Driver(*op_).LimpiaPantalla();
}
std::string IPP320::ArmaLogo() {
  return Driver(*op_).ArmaLogo();
}
std::int16_t IPP320::VerificaRespuesta(std::string_view vpTrama, std::string_view vpIns) {
  return Driver(*op_).VerificaRespuesta(vpTrama, vpIns);
}
std::string IPP320::IC0(double vpMonto, double vpPropina, const std::string& vpMensaje) {
  return Driver(*op_).IC0(vpMonto, vpPropina, vpMensaje);
}
std::string IPP320::IC1(std::string vpStatus, std::string vpCod, std::string vpAut) {
  return Driver(*op_).IC1(std::move(vpStatus), std::move(vpCod), std::move(vpAut));
}
std::string IPP320::Libera() {
  return Driver(*op_).Libera();
}
std::string IPP320::ConfigPinPad() {
  return Driver(*op_).ConfigPinPad();
}
std::optional<Dictionary> IPP320::ObtenTracks(const std::string& vpInString, std::int16_t vpModo) {
  return Driver(*op_).ObtenTracks(vpInString, vpModo);
}
Dictionary IPP320::TagsValidos(std::string vpCadena) {
  return Driver(*op_).TagsValidos(vpCadena);
}

}  // namespace tovalix
