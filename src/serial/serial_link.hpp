// The serial link of Cliente: the port of the PIN pad, the receive buffer BufferRecepcion, the
// reader that fills it (the old TMRComm timer), and the exchange primitives every sale flow
// uses. One SerialLink per control; everything runs on the caller's thread.
//
// Waiting: a primitive waits on the port in slices of a few real milliseconds, lets the host's
// loop run (Operator::Pump) between slices, and appends every pending byte to BufferRecepcion
// as soon as it arrives; the CPU sleeps in poll() meanwhile. Deadlines are read on the Clock
// handed in, so tests run them on a FastClock. An answer is judged only once a whole frame is
// there by the structure its driver declared (frame_completeness.hpp), never half-way. The
// link knows no PIN pad model: each driver sets the format of its frames and builds its own
// exchanges on these primitives.
//
// The primitives trap their failures (a closed port, a hang-up): the common error report
// (message box and tovalix.log line), the reader stopped, and their failure value returned.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <tovalix/operator.hpp>

#include "platform/clock.hpp"
#include "platform/serial_port.hpp"
#include "serial/frame_completeness.hpp"

namespace tovalix::serial {

class SerialLink {
 public:
  // Deadlines of the primitives, in seconds of the link's clock.
  static constexpr double kPlazoComando = 15;  // EnviaComando
  static constexpr double kPlazoRecibe = 20;   // EnviaRecibe
  // A buffer holding no frame shape at all, but ending like a frame (ETX, one byte), is judged
  // once the line has been quiet this long: the secondary guard for garbled answers.
  // It is a property of the line, so it also lasts at least kSilencioMinimoMs of real time
  // (a fast test clock must not take a pause between two writes for a quiet line).
  static constexpr double kSilencioDeGuardia = 0.5;
  static constexpr int kSilencioMinimoMs = 100;
  // Longest real time one wait slice blocks in poll().
  static constexpr int kRebanadaMs = 10;

  SerialLink(Operator& op, const platform::Clock& clock);
  ~SerialLink();
  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  // Opens the port at 19200,N,8,1 and holds it exclusively until Cierra. "COMn" is the n-th
  // native port (RutaDePuerto); any other name is a device path. A link already open is closed
  // first. Throws Failure when the port cannot be opened or the number after "COM" is not a
  // port number, platform::PortInUse when another process holds it (EnUso() then says so
  // until the next Abre).
  void Abre(std::string_view puerto);
  bool EnUso() const { return en_uso_; }
  // Closes the port when it is open and stops the reader. Never throws.
  void Cierra() noexcept;
  bool EstaAbierto() const;

  // How the PIN pad on the link frames its bytes, as its driver declares it: the shape of its
  // answer frames, and whether commands are hex text (compact or spaced) turned into bytes
  // before writing (otherwise they are written as they are).
  struct Format {
    FrameShape shape = FrameShape::kText;
    bool hex_commands = false;
  };
  void SetFormat(Format format) { format_ = format; }
  const Format& GetFormat() const { return format_; }

  // Writes the command and waits up to 15 s for ACK: 1 when it came. A NAK clears the buffer
  // and writes the command again (until the deadline); an EOT gives 0 at once, leaving the
  // reader on.
  std::int16_t EnviaComando(std::string_view comando);

  // Writes the command and waits (`plazo` seconds; 20 unless the driver says otherwise) for a
  // whole framed answer of `codigo_hex` with a right LRC: ACK it and return 1, the answer frame
  // alone left in BufferRecepcion. A wrong frame (wrong LRC or code, or a length that disagrees
  // with the bytes present) gets NAK up to three times; the fourth gets EOT and 0.
  std::int16_t EnviaRecibe(std::string_view comando, std::string_view codigo_hex,
                           double plazo = kPlazoRecibe);

  // The exchange a driver shapes itself: after `pause` seconds, clears the buffer, writes
  // `bytes` as they are and waits up to `timeout` seconds, calling `answered` after every turn
  // of the wait; it may trim the buffer, and ends the wait by returning true. The reader is
  // stopped at the end. False when the deadline passed first or the port failed (reported).
  bool Exchange(std::string_view bytes, double pause, double timeout,
                const std::function<bool(std::string& buffer)>& answered);

  // The operator the primitives report to.
  Operator& GetOperator() const { return op_; }

  // The line has been quiet (no byte arrived) for the secondary guard's time.
  bool Quiet() const;

  // The bytes received since a primitive last cleared it (one byte per char).
  const std::string& BufferRecepcion() const { return buffer_; }
  void LimpiaBuffer() { buffer_.clear(); }

  // The reader (TMRComm): on while a primitive waits; the flows stop or start it where they
  // disabled or enabled the timer.
  void DetieneLector() { reader_on_ = false; }
  void ActivaLector() { reader_on_ = true; }
  bool LectorActivo() const { return reader_on_; }

  // The device path of a port name: "COMn" gives platform::NativePortPath(n) (the text after
  // "COM" read as an integer, which must be 1 or more); any other name is a path already.
  // Throws Failure for "COM" followed by anything but a port number.
  static std::string RutaDePuerto(std::string_view puerto);

 private:
  platform::SerialPort& Port();
  std::string Wire(std::string_view comando) const;
  void StartReading();
  void Write(std::string_view bytes);
  void Turn(double deadline);
  enum class Veredicto { kEspera, kCorrecta, kErronea };
  Veredicto Juzga(std::string_view codigo_hex, std::size_t* begin, std::size_t* end) const;
  bool EsRespuesta(std::size_t begin, std::size_t end, std::string_view codigo_hex) const;
  bool EndsLikeAFrame() const;
  bool Contains(std::string_view text) const;

  Operator& op_;
  const platform::Clock& clock_;
  std::unique_ptr<platform::SerialPort> port_;
  Format format_;
  std::string buffer_;
  bool reader_on_ = false;
  bool en_uso_ = false;
  double last_arrival_ = 0;
  std::chrono::steady_clock::time_point last_arrival_real_{};
};

}  // namespace tovalix::serial
