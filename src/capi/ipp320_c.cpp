// The C interface over IPP320. The frames a call returns are kept in the object until its next
// call, so that a host frees nothing but the object and the parsed results.
#include <tovalix/tovalix.h>
#include <tovalix/ipp320.hpp>

#include <string_view>

#include "capi/capi_support.hpp"
#include "common/text_encoding.hpp"

using tovalix::capi::CallbackOperator;
using tovalix::capi::New;
using tovalix::capi::Text;
using tovalix::capi::Wrap;
using tovalix::capi::WrapNumber;

struct tovalix_ipp320 {
  tovalix_ipp320(tovalix_message_box_fn message_box, void* user_data)
      : op(message_box, nullptr, user_data), device(op) {}
  CallbackOperator op;
  tovalix::IPP320 device;
  std::string text;   // the last frame or text handed out
  std::string shown;  // ArmaMensaje's display line
};

namespace {

// Runs `call` (which returns a text) and hands its text out from the object.
template <typename Call>
const char* Keep(tovalix_ipp320* ipp320, Call&& call) noexcept {
  if (ipp320 == nullptr) return nullptr;
  try {
    ipp320->text = call();
    return ipp320->text.c_str();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

extern "C" {

tovalix_ipp320* tovalix_ipp320_create(tovalix_message_box_fn message_box, void* user_data) {
  return New<tovalix_ipp320>(message_box, user_data);
}

void tovalix_ipp320_destroy(tovalix_ipp320* ipp320) {
  delete ipp320;
}

const char* tovalix_ipp320_refresh_logo(tovalix_ipp320* ipp320) {
  return Keep(ipp320, [&] { return ipp320->device.RefreshLogo(); });
}

const char* tovalix_ipp320_obten_serial(tovalix_ipp320* ipp320) {
  return Keep(ipp320, [&] { return ipp320->device.ObtenSerial(); });
}

const char* tovalix_ipp320_retire_tarjeta(tovalix_ipp320* ipp320, const char* message) {
  return Keep(ipp320, [&] { return ipp320->device.RetireTarjeta(Text(message)); });
}

const char* tovalix_ipp320_captura_en_pinpad(tovalix_ipp320* ipp320, int16_t max_length,
                                             int16_t min_length) {
  return Keep(ipp320, [&] { return ipp320->device.CapturaEnPinPad(max_length, min_length); });
}

const char* tovalix_ipp320_obten_cvv2(tovalix_ipp320* ipp320, const char* answer) {
  return Keep(ipp320, [&] { return ipp320->device.ObtenCVV2(Text(answer)); });
}

const char* tovalix_ipp320_arma_mensaje(tovalix_ipp320* ipp320, const char* message,
                                        const char** shown) {
  const char* frame = Keep(ipp320, [&] {
    std::string line = Text(message);
    std::string built = ipp320->device.ArmaMensaje(line);
    ipp320->shown = tovalix::ToUtf8Lenient(line);
    return built;
  });
  if (shown != nullptr) *shown = frame == nullptr ? nullptr : ipp320->shown.c_str();
  return frame;
}

const char* tovalix_ipp320_limpia_pantalla(tovalix_ipp320* ipp320) {
  return Keep(ipp320, [&] { return ipp320->device.LimpiaPantalla(); });
}

const char* tovalix_ipp320_arma_logo(tovalix_ipp320* ipp320) {
  return Keep(ipp320, [&] { return ipp320->device.ArmaLogo(); });
}

int16_t tovalix_ipp320_verifica_respuesta(tovalix_ipp320* ipp320, const char* frame, size_t length,
                                          const char* command) {
  return WrapNumber(ipp320, [&] {
    const std::string_view received =
        frame == nullptr ? std::string_view() : std::string_view(frame, length);
    return ipp320->device.VerificaRespuesta(received, Text(command));
  });
}

const char* tovalix_ipp320_ic0(tovalix_ipp320* ipp320, double amount, double tip,
                               const char* message) {
  return Keep(ipp320, [&] { return ipp320->device.IC0(amount, tip, Text(message)); });
}

const char* tovalix_ipp320_ic1(tovalix_ipp320* ipp320, const char* status,
                               const char* response_code, const char* authorization) {
  return Keep(ipp320, [&] {
    return ipp320->device.IC1(Text(status), Text(response_code), Text(authorization));
  });
}

const char* tovalix_ipp320_libera(tovalix_ipp320* ipp320) {
  return Keep(ipp320, [&] { return ipp320->device.Libera(); });
}

const char* tovalix_ipp320_config_pinpad(tovalix_ipp320* ipp320) {
  return Keep(ipp320, [&] { return ipp320->device.ConfigPinPad(); });
}

tovalix_result* tovalix_ipp320_obten_tracks(tovalix_ipp320* ipp320, const char* answer,
                                            int16_t mode) {
  if (ipp320 == nullptr) return nullptr;
  try {
    const auto tracks = ipp320->device.ObtenTracks(Text(answer), mode);
    return tracks ? tovalix::capi::NewResult(*tracks) : nullptr;
  } catch (...) {
    return nullptr;
  }
}

tovalix_result* tovalix_ipp320_tags_validos(tovalix_ipp320* ipp320, const char* emv_data) {
  return Wrap(ipp320, [&] { return ipp320->device.TagsValidos(Text(emv_data)); });
}

}  // extern "C"
