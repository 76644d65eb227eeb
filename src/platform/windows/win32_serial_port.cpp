// Windows backend of the serial port seam: a COM port opened for overlapped I/O. A wait is one
// overlapped read that the driver completes as soon as a byte arrives (the read time-outs are
// set so that it returns at once with what is there, or waits for the first byte up to the
// wait's length); the thread sleeps in WaitForSingleObject meanwhile. Bytes such a read
// brought are held until ReadPending hands them over. A port is exclusive by nature: a
// second open fails with "access denied".
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/failure.hpp"
#include "platform/serial_port.hpp"
#include "platform/windows/system_error.hpp"
#include "platform/windows/wide_text.hpp"

namespace tovalix::platform {
namespace {

// How long a write may take before the port counts as stuck.
constexpr DWORD kWriteStallMs = 5000;
// Margin past a read's own time-out before it is cancelled: the driver's timer, not ours,
// ends an ordinary wait.
constexpr DWORD kCancelMarginMs = 500;
constexpr DWORD kChunk = 4096;

class Event {
 public:
  Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (handle_ == nullptr) throw Failure("No se pudo preparar el puerto: sin eventos");
  }
  ~Event() { CloseHandle(handle_); }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The errors with which Windows tells that the device went away (a USB adapter unplugged).
bool IsHangUp(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_BAD_COMMAND ||
         error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_GEN_FAILURE ||
         error == ERROR_INVALID_HANDLE || error == ERROR_DEVICE_REMOVED ||
         error == ERROR_BROKEN_PIPE;
}

class Win32SerialPort final : public SerialPort {
 public:
  Win32SerialPort(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  ~Win32SerialPort() override { Close(); }
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  const std::string& Path() const override { return path_; }
  bool IsOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

  void Close() noexcept override {
    if (handle_ != INVALID_HANDLE_VALUE) {
      CancelIoEx(handle_, nullptr);
      CloseHandle(handle_);
      handle_ = INVALID_HANDLE_VALUE;
    }
    held_.clear();
  }

  void Write(std::string_view bytes) override {
    RequireOpen();
    std::size_t done = 0;
    while (done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, kChunk));
      const DWORD written = Transfer(false, const_cast<char*>(bytes.data() + done), chunk,
                                     kWriteStallMs + kCancelMarginMs);
      if (written == 0) throw Failure("El puerto " + path_ + " no acepta más datos.");
      done += written;
    }
  }

  bool WaitReadable(int real_ms) override {
    RequireOpen();
    if (!held_.empty()) return true;
    const DWORD wait = real_ms > 0 ? static_cast<DWORD>(real_ms) : 0;
    SetReadTimeouts(wait);
    char chunk[kChunk];
    const DWORD got = Transfer(true, chunk, sizeof chunk, wait + kCancelMarginMs);
    held_.append(chunk, got);
    return got > 0;
  }

  std::string ReadPending() override {
    RequireOpen();
    SetReadTimeouts(0);
    for (;;) {
      char chunk[kChunk];
      const DWORD got = Transfer(true, chunk, sizeof chunk, kCancelMarginMs);
      held_.append(chunk, got);
      if (got < sizeof chunk) break;
    }
    std::string bytes;
    bytes.swap(held_);
    return bytes;
  }

 private:
  void RequireOpen() const {
    if (handle_ == INVALID_HANDLE_VALUE) throw Failure("El puerto " + path_ + " no está abierto.");
  }

  [[noreturn]] void Fail(const std::string& what, DWORD error) const {
    if (IsHangUp(error)) {
      throw Failure("El puerto " + path_ + " se desconectó (la Pin Pad colgó la línea).");
    }
    throw Failure(what + " " + path_ + ": " + SystemErrorText(error));
  }

  // Reads return at once with what is pending; with `wait_ms` they wait for the first byte
  // that long when nothing is.
  void SetReadTimeouts(DWORD wait_ms) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = wait_ms > 0 ? MAXDWORD : 0;
    timeouts.ReadTotalTimeoutConstant = wait_ms;
    timeouts.WriteTotalTimeoutConstant = kWriteStallMs;
    if (!SetCommTimeouts(handle_, &timeouts)) Fail("Error del puerto", GetLastError());
  }

  // One overlapped read or write, waited for at most `limit_ms`; a transfer still running
  // then is cancelled, keeping whatever it moved. Returns the number of bytes moved.
  DWORD Transfer(bool read, char* data, DWORD size, DWORD limit_ms) {
    Event done;
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.get();
    DWORD moved = 0;
    const BOOL started = read ? ReadFile(handle_, data, size, nullptr, &overlapped)
                              : WriteFile(handle_, data, size, nullptr, &overlapped);
    if (!started && GetLastError() != ERROR_IO_PENDING) {
      Fail(read ? "No se pudo leer del puerto" : "No se pudo escribir en el puerto",
           GetLastError());
    }
    if (WaitForSingleObject(done.get(), limit_ms) != WAIT_OBJECT_0) {
      CancelIoEx(handle_, &overlapped);
    }
    if (!GetOverlappedResult(handle_, &overlapped, &moved, TRUE)) {
      const DWORD error = GetLastError();
      if (error != ERROR_OPERATION_ABORTED) {
        Fail(read ? "No se pudo leer del puerto" : "No se pudo escribir en el puerto", error);
      }
    }
    return moved;
  }

  HANDLE handle_;
  std::string path_;
  std::string held_;  // bytes a wait brought that ReadPending has not handed over yet
};

// "COM5" is opened as "\\.\COM5", the form that also reaches COM10 and above.
std::wstring DevicePath(const std::string& path) {
  if (path.size() > 3 && _strnicmp(path.c_str(), "COM", 3) == 0) return WideText("\\\\.\\" + path);
  return WideText(path);
}

}  // namespace

std::unique_ptr<SerialPort> OpenSerialPort(const std::string& path) {
  HANDLE handle = CreateFileW(DevicePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    throw Failure("No se pudo abrir el puerto " + path + ": " + SystemErrorText(GetLastError()));
  }
  // 19200,N,8,1, binary, no software or hardware flow control, DTR and RTS raised.
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  const bool configured = GetCommState(handle, &dcb) != FALSE && [&] {
    dcb.BaudRate = CBR_19200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    return SetCommState(handle, &dcb) != FALSE;
  }();
  if (!configured) {
    const DWORD error = GetLastError();
    CloseHandle(handle);
    throw Failure("No se pudo configurar el puerto " + path + ": " + SystemErrorText(error));
  }
  PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
  return std::make_unique<Win32SerialPort>(handle, path);
}

std::string NativePortPath(int number) {
  return "COM" + std::to_string(number);
}

}  // namespace tovalix::platform
