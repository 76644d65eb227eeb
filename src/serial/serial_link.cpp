#include "serial/serial_link.hpp"

#include <algorithm>

#include "common/error_report.hpp"
#include "common/failure.hpp"
#include "common/number_text.hpp"
#include "serial/generales.hpp"

namespace tovalix::serial {

SerialLink::SerialLink(Operator& op, const platform::Clock& clock) : op_(op), clock_(clock) {}

SerialLink::~SerialLink() {
  Cierra();
}

std::string SerialLink::RutaDePuerto(std::string_view puerto) {
  if (puerto.substr(0, 3) != "COM") return std::string(puerto);
  const std::int16_t number = ToInteger(puerto.substr(3));
  if (number < 1) throw Failure("Número de puerto no válido: " + std::string(puerto));
  return platform::NativePortPath(number);
}

void SerialLink::Abre(std::string_view puerto) {
  const std::string path = RutaDePuerto(puerto);
  Cierra();
  en_uso_ = false;
  try {
    port_ = platform::OpenSerialPort(path);
  } catch (const platform::PortInUse&) {
    en_uso_ = true;
    throw;
  }
}

void SerialLink::Cierra() noexcept {
  if (port_) port_->Close();
  port_.reset();
  reader_on_ = false;
}

bool SerialLink::EstaAbierto() const {
  return port_ && port_->IsOpen();
}

platform::SerialPort& SerialLink::Port() {
  if (!EstaAbierto()) {
    throw Failure("La operación solo es válida cuando el puerto está abierto.");
  }
  return *port_;
}

std::string SerialLink::Wire(std::string_view comando) const {
  if (!format_.hex_commands) return std::string(comando);
  std::string hex(comando);
  return HexATextoLimpio(hex);
}

// "Clear BufferRecepcion, enable the timer". A reader left on (after an EOT) would have kept
// moving bytes into the buffer, so what it would have moved is dropped with the buffer.
void SerialLink::StartReading() {
  if (reader_on_ && Port().WaitReadable(0)) Port().ReadPending();
  buffer_.clear();
  reader_on_ = true;
}

void SerialLink::Write(std::string_view bytes) {
  Port().Write(bytes);
}

// One turn of a wait: the host's loop runs once, then the port is waited on for one slice at
// most (never past the deadline) and every pending byte is appended.
void SerialLink::Turn(double deadline) {
  op_.Pump();
  const int slice = std::clamp(clock_.RealMilliseconds(deadline - clock_.Now()), 0, kRebanadaMs);
  if (!reader_on_) {
    clock_.SleepFor(clock_.Now() >= deadline ? 0 : kRebanadaMs / 1000.0);
    return;
  }
  platform::SerialPort& port = Port();
  if (port.WaitReadable(slice)) {
    buffer_ += port.ReadPending();
    last_arrival_ = clock_.Now();
    last_arrival_real_ = std::chrono::steady_clock::now();
  }
}

bool SerialLink::Quiet() const {
  return clock_.Now() - last_arrival_ >= kSilencioDeGuardia &&
         std::chrono::steady_clock::now() - last_arrival_real_ >=
             std::chrono::milliseconds(kSilencioMinimoMs);
}

bool SerialLink::EndsLikeAFrame() const {
  return buffer_.size() >= 2 && buffer_[buffer_.size() - 2] == kEtx;
}

// The frame at [begin, end) starts with STX and the expected code and its LRC is right.
bool SerialLink::EsRespuesta(std::size_t begin, std::size_t end,
                             std::string_view codigo_hex) const {
  const std::string_view frame = std::string_view(buffer_).substr(begin, end - begin);
  const std::string code = HexATexto(codigo_hex);
  if (frame.size() < code.size() + 3 || frame.substr(1, code.size()) != code) return false;
  return VerificaTrama(frame, codigo_hex, op_) == 1;
}

// The buffer as the answer to `codigo_hex`. Every STX is a candidate start. A whole frame that
// is not the right answer cannot become one: look again from the next STX, so that a false
// start in line noise does not hide the answer that follows it. A frame still arriving is
// waited for. The buffer is wrong once it holds whole frames only and none is the answer, or,
// holding no frame shape at all, it ends like a frame and the line is quiet: a length that
// disagrees with the bytes present makes a wrong frame, whatever its LRC says.
SerialLink::Veredicto SerialLink::Juzga(std::string_view codigo_hex, std::size_t* begin,
                                        std::size_t* end) const {
  if (buffer_.size() <= 4) return Veredicto::kEspera;
  const bool ends_like_a_frame = EndsLikeAFrame();
  const bool quiet_end = ends_like_a_frame && Quiet();
  bool whole = false;
  bool arriving = false;
  for (std::size_t start = buffer_.find(kStx); start != std::string::npos;
       start = buffer_.find(kStx, start + 1)) {
    const FrameScan scan = ScanFrame(format_.shape, buffer_, start);
    const bool here = scan.state != FrameScan::kNone && scan.begin == start;
    if (here && scan.state == FrameScan::kComplete) {
      if (EsRespuesta(start, scan.end, codigo_hex)) {
        *begin = start;
        *end = scan.end;
        return Veredicto::kCorrecta;
      }
      whole = true;  // resynchronise on the next STX
    } else if (here) {
      arriving = true;  // need more bytes, by its length
    }
    // The two bytes a Vx810 chip answer carries after its status are our reading of a length,
    // not the PIN pad's word: its frame is whole when it ends in ETX and a right LRC and the
    // line then stays quiet, whatever those bytes say.
    if (format_.shape == FrameShape::kVx810 && ends_like_a_frame &&
        EsRespuesta(start, buffer_.size(), codigo_hex)) {
      if (!quiet_end) {
        arriving = true;  // need the line quiet
        continue;
      }
      *begin = start;
      *end = buffer_.size();
      return Veredicto::kCorrecta;
    }
  }
  // A length that promises more than ever comes is a wrong frame once the line is quiet after
  // what looks like a frame's end; so is a buffer with no frame shape at all.
  if (whole && !arriving) return Veredicto::kErronea;
  return quiet_end ? Veredicto::kErronea : Veredicto::kEspera;
}

bool SerialLink::Contains(std::string_view text) const {
  return buffer_.find(text) != std::string::npos;
}

std::int16_t SerialLink::EnviaComando(std::string_view comando) {
  std::int16_t result = 0;
  const bool ran = RunTrapped(op_, [&] {
    StartReading();
    const std::string bytes = Wire(comando);
    Write(bytes);
    const double deadline = clock_.Now() + kPlazoComando;
    for (;;) {
      Turn(deadline);
      if (!TrimBlanks(buffer_).empty()) {
        if (Contains(std::string(1, kAck))) {
          reader_on_ = false;
          result = 1;
          return;
        }
        if (Contains(std::string(1, kNak))) {
          buffer_.clear();
          Write(bytes);
        } else if (Contains(std::string(1, kEot))) {
          return;  // refused: the reader stays on, as the timer did
        }
      }
      if (clock_.Now() >= deadline) {
        reader_on_ = false;
        return;
      }
    }
  });
  if (!ran) reader_on_ = false;
  return result;
}

std::int16_t SerialLink::EnviaRecibe(std::string_view comando, std::string_view codigo_hex,
                                     double plazo) {
  std::int16_t result = 0;
  const bool ran = RunTrapped(op_, [&] {
    int naks = 0;
    StartReading();
    Write(Wire(comando));
    const double deadline = clock_.Now() + plazo;
    for (;;) {
      Turn(deadline);
      std::size_t begin = 0;
      std::size_t end = 0;
      const Veredicto veredicto = Juzga(codigo_hex, &begin, &end);
      if (veredicto == Veredicto::kCorrecta) {
        // The answer alone stays: noise around it must not be read as part of it.
        buffer_ = buffer_.substr(begin, end - begin);
        Write(std::string(1, kAck));
        reader_on_ = false;
        result = 1;
        return;
      }
      if (veredicto == Veredicto::kErronea) {
        if (naks >= 3) {
          buffer_.clear();
          Write(std::string(1, kEot));
          reader_on_ = false;
          return;
        }
        Write(std::string(1, kNak));
        buffer_.clear();
        ++naks;
      }
      if (clock_.Now() >= deadline) {
        reader_on_ = false;
        return;
      }
    }
  });
  if (!ran) reader_on_ = false;
  return result;
}

bool SerialLink::Exchange(std::string_view bytes, double pause, double timeout,
                          const std::function<bool(std::string& buffer)>& answered) {
  bool done = false;
  RunTrapped(op_, [&] {
    if (pause > 0) Pausa(pause, op_, clock_);
    StartReading();
    Write(bytes);
    const double deadline = clock_.Now() + timeout;
    for (;;) {
      Turn(deadline);
      done = answered(buffer_);
      if (done || clock_.Now() >= deadline) return;
    }
  });
  reader_on_ = false;
  return done;
}

}  // namespace tovalix::serial
