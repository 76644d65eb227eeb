// tovalix ipp320 METHOD [ARGS]: every IPP320 method from the command line, for hosts that
// drive the PIN pad themselves. Frames print as compact hex, parsed answers as JSON.
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <tovalix/ipp320.hpp>

#include "commands.hpp"
#include "serial/generales.hpp"

namespace tovalix::cli {
namespace {

struct Ipp320Arguments {
  std::string mensaje;
  std::string answer;
  std::string ins;
  std::string status;
  std::string cod;
  std::string aut;
  std::int16_t lon_max = 0;
  std::int16_t lon_min = 0;
  std::int16_t modo = 0;
  double monto = 0;
  double propina = 0;
};

// An answer given on the command line: "-" reads standard input; hex with blanks is taken as
// it is, compact hex is spaced (two digits and a blank per byte) as the parsers expect.
std::string SpacedAnswer(const std::string& given) {
  std::string text = given;
  if (text == "-") text.assign(std::istreambuf_iterator<char>(std::cin), {});
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.find(' ') != std::string::npos) return text;
  return serial::TextoAHex(serial::HexATexto(text));
}

void Print(Run& run, const std::string& text, bool success) {
  std::printf("%s\n", text.c_str());
  run.exit_status = success ? 0 : 1;
}

void PrintFrame(Run& run, const std::string& frame) {
  Print(run, frame, !frame.empty());
}

}  // namespace

void RegisterIpp320(CLI::App& app, Run& run) {
  auto* ipp = app.add_subcommand(
      "ipp320",
      "Ingenico iPP320 frames and answer parsers for hosts that drive the PIN pad themselves");
  ipp->require_subcommand(1);
  auto args = std::make_shared<Ipp320Arguments>();
  const auto method = [&](const char* name, const char* help) {
    auto* sub = ipp->add_subcommand(name, help);
    sub->ignore_case();
    return sub;
  };
  const auto frame_of = [&run, args](auto build) {
    return [&run, args, build] {
      IPP320 device;
      PrintFrame(run, build(device, *args));
    };
  };

  method("RefreshLogo", "frame that shows the stored logo again")
      ->callback(frame_of([](IPP320& d, Ipp320Arguments&) { return d.RefreshLogo(); }));
  method("ObtenSerial", "frame asking for the serial number")
      ->callback(frame_of([](IPP320& d, Ipp320Arguments&) { return d.ObtenSerial(); }));

  auto* retire = method("RetireTarjeta", "frame asking for the card to be removed");
  retire->add_option("vpMensaje", args->mensaje, "text shown meanwhile")->required();
  retire->callback(
      frame_of([](IPP320& d, Ipp320Arguments& a) { return d.RetireTarjeta(a.mensaje); }));

  auto* captura = method("CapturaEnPinPad", "frame for a keyboard entry");
  captura->add_option("vpLon_Max", args->lon_max, "longest entry (0-255)")->required();
  captura->add_option("vpLon_Min", args->lon_min, "shortest entry (0-255)")->required();
  captura->callback(frame_of(
      [](IPP320& d, Ipp320Arguments& a) { return d.CapturaEnPinPad(a.lon_max, a.lon_min); }));

  auto* cvv = method("ObtenCVV2", "typed value of a keyboard answer, as spaced hex");
  cvv->add_option("vpMensaje", args->answer, "the KBD answer as hex (\"-\": standard input)")
      ->required();
  cvv->callback([&run, args] {
    const std::string typed = IPP320().ObtenCVV2(SpacedAnswer(args->answer));
    Print(run, typed, !typed.empty());
  });

  auto* mensaje = method("ArmaMensaje", "frame showing a 32-character line");
  mensaje->add_option("vpMensaje", args->mensaje, "text to show")->required();
  mensaje->callback(
      frame_of([](IPP320& d, Ipp320Arguments& a) { return d.ArmaMensaje(a.mensaje); }));

  method("LimpiaPantalla", "frame that blanks the display")
      ->callback(frame_of([](IPP320& d, Ipp320Arguments&) { return d.LimpiaPantalla(); }));
  method("ArmaLogo", "frame carrying the 128 x 32 logo")
      ->callback(frame_of([](IPP320& d, Ipp320Arguments&) { return d.ArmaLogo(); }));

  auto* verifica = method("VerificaRespuesta", "1 when an answer is a correct frame, else 0");
  verifica->add_option("vpTrama", args->answer, "received bytes as hex (\"-\": standard input)")
      ->required();
  verifica->add_option("vpIns", args->ins, "expected command code, e.g. 494330")->required();
  verifica->callback([&run, args] {
    std::string spaced = SpacedAnswer(args->answer);
    const std::string bytes = serial::HexATextoLimpio(spaced);
    const std::int16_t ok = IPP320().VerificaRespuesta(bytes, args->ins);
    Print(run, std::to_string(ok), ok == 1);
  });

  auto* ic0 = method("IC0", "frame starting a card reading");
  ic0->add_option("vpMonto", args->monto, "amount")->required();
  ic0->add_option("vpPropina", args->propina, "tip")->required();
  ic0->add_option("vpMensaje", args->mensaje, "text shown")->required();
  ic0->callback(
      frame_of([](IPP320& d, Ipp320Arguments& a) { return d.IC0(a.monto, a.propina, a.mensaje); }));

  auto* ic1 = method("IC1", "frame handing the authorization outcome to the chip card");
  ic1->add_option("vpStatus", args->status, "00 approved, 01 declined")->required();
  ic1->add_option("vpCod", args->cod, "response code")->required();
  ic1->add_option("vpAut", args->aut, "authorization number")->required();
  ic1->callback(
      frame_of([](IPP320& d, Ipp320Arguments& a) { return d.IC1(a.status, a.cod, a.aut); }));

  method("Libera", "frame ending the card session without an authorization")
      ->callback(frame_of([](IPP320& d, Ipp320Arguments&) { return d.Libera(); }));
  method("ConfigPinPad", "frame with the fixed configuration")
      ->callback(frame_of([](IPP320& d, Ipp320Arguments&) { return d.ConfigPinPad(); }));

  auto* tracks = method("ObtenTracks", "tracks of an IC0 answer, as JSON");
  tracks->add_option("vpInString", args->answer, "the IC0 answer as hex (\"-\": standard input)")
      ->required();
  tracks->add_option("vpModo", args->modo, "3 for a fallback reading, else 0");
  tracks->callback([&run, args] {
    const auto result = IPP320().ObtenTracks(SpacedAnswer(args->answer), args->modo);
    Print(run, result ? result->ToJson() : "null", result.has_value());
  });

  auto* tags = method("TagsValidos", "EMV_Tags, ARQC and AID of EMV data, as JSON");
  tags->add_option("vpCadena", args->answer, "EMV data as hex (\"-\": standard input)")->required();
  tags->callback([&run, args] {
    std::string cadena = args->answer;
    if (cadena == "-") cadena = SpacedAnswer(cadena);
    Print(run, IPP320().TagsValidos(cadena).ToJson(), true);
  });
}

}  // namespace tovalix::cli
