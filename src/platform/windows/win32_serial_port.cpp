// Windows backend of the serial port seam: a COM port opened for overlapped I/O. A wait is one
// overlapped read whose time-outs make the driver complete it a moment after the first bytes
// arrive (an interval time-out of 1 ms) or when the wait's length has passed with none; the
// thread sleeps in WaitForSingleObject meanwhile. Bytes such a read brought are held until
// ReadPending hands them over. The port is opened without sharing, and a named mutex per port
// keeps it to one process even where the system does not enforce that for the device.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "common/failure.hpp"
#include "platform/in_process_port.hpp"
#include "platform/serial_port.hpp"
#include "platform/windows/system_error.hpp"
#include "platform/windows/wide_text.hpp"

namespace tovalix::platform {
namespace {

// How long a write may take before the port counts as stuck.
constexpr DWORD kWriteStallMs = 5000;
// Margin past a write's own time-out, or a read of queued bytes, before it is cancelled.
constexpr DWORD kCancelMarginMs = 500;
constexpr DWORD kChunk = 4096;

class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
  ~Handle() { Reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  // Hands the handle over: this object no longer closes it.
  HANDLE Release() noexcept { return std::exchange(handle_, nullptr); }
  void Reset() noexcept {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = nullptr;
  }

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

// The ports this process has open: a mutex is its owner's again and again, so it cannot
// refuse a second open from the same process.
std::mutex claimed_guard;
std::set<std::string> claimed_here;

std::string MutexName(const std::string& path) {
  std::string name = "Global\\Tovalix.SerialPort.";
  for (const char c : path) {
    name += std::isalnum(static_cast<unsigned char>(c)) != 0
                ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
                : '_';
  }
  return name;
}

[[noreturn]] void InUse(const std::string& path) {
  throw PortInUse(path);
}

// This process's hold on a port, for as long as the object lives: one mutex per port name binds
// every process of every session, and the set above binds this one.
class PortClaim {
 public:
  explicit PortClaim(const std::string& path) : name_(MutexName(path)) {
    {
      const std::lock_guard lock(claimed_guard);
      if (!claimed_here.insert(name_).second) InUse(path);
    }
    mutex_ = CreateMutexW(nullptr, FALSE, WideText(name_).c_str());
    // An abandoned mutex belonged to a process that died with the port open: it is free now.
    const DWORD claimed = mutex_ == nullptr ? WAIT_FAILED : WaitForSingleObject(mutex_, 0);
    if (claimed != WAIT_OBJECT_0 && claimed != WAIT_ABANDONED) {
      const DWORD error = GetLastError();
      Unclaim();
      if (claimed == WAIT_TIMEOUT) InUse(path);
      throw Failure("No se pudo abrir el puerto " + path + ": " + SystemErrorText(error));
    }
    owned_ = true;
  }
  ~PortClaim() {
    if (owned_) ReleaseMutex(mutex_);
    Unclaim();
  }
  PortClaim(const PortClaim&) = delete;
  PortClaim& operator=(const PortClaim&) = delete;

 private:
  void Unclaim() noexcept {
    if (mutex_ != nullptr) CloseHandle(mutex_);
    const std::lock_guard lock(claimed_guard);
    claimed_here.erase(name_);
  }

  std::string name_;
  HANDLE mutex_ = nullptr;
  bool owned_ = false;
};

class Win32SerialPort final : public SerialPort {
 public:
  Win32SerialPort(HANDLE port, std::unique_ptr<PortClaim> claim, std::string path)
      : port_(port), claim_(std::move(claim)), path_(std::move(path)) {}
  ~Win32SerialPort() override { Close(); }
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  const std::string& Path() const override { return path_; }
  bool IsOpen() const override { return port_.get() != nullptr; }

  void Close() noexcept override {
    if (port_.get() != nullptr) CancelIoEx(port_.get(), nullptr);
    port_.Reset();
    claim_.reset();
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
    if (!held_.empty() || InputQueued() > 0) return true;
    if (real_ms > 0) ReadIntoHeld(static_cast<DWORD>(real_ms));
    return !held_.empty();
  }

  std::string ReadPending() override {
    RequireOpen();
    // What the driver holds is read in full: a read of that many bytes never waits.
    for (DWORD queued = InputQueued(); queued > 0; queued = InputQueued()) {
      const std::size_t before = held_.size();
      held_.resize(before + queued);
      const DWORD got = Transfer(true, held_.data() + before, queued, kCancelMarginMs);
      held_.resize(before + got);
      if (got == 0) break;
    }
    std::string bytes;
    bytes.swap(held_);
    return bytes;
  }

 private:
  void RequireOpen() const {
    if (port_.get() == nullptr) throw Failure("El puerto " + path_ + " no está abierto.");
  }

  [[noreturn]] void Fail(const std::string& what, DWORD error) const {
    if (IsHangUp(error)) {
      throw Failure("El puerto " + path_ + " se desconectó (la Pin Pad colgó la línea).");
    }
    throw Failure(what + " " + path_ + ": " + SystemErrorText(error));
  }

  // Bytes received and not read yet. A port whose device went away fails here.
  DWORD InputQueued() {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port_.get(), &errors, &status)) Fail("Error del puerto", GetLastError());
    return status.cbInQue;
  }

  // One read into held_ that ends a millisecond after bytes stop arriving, or after `wait_ms`
  // with none. It ends at `wait_ms` at the latest, with whatever came: not every serial driver
  // (wine's on a pseudo-terminal) keeps to the interval while bytes trickle in, and a
  // cancelled read keeps its bytes.
  void ReadIntoHeld(DWORD wait_ms) {
    if (wait_ms != timeouts_ms_) {
      COMMTIMEOUTS timeouts{};
      timeouts.ReadIntervalTimeout = 1;
      timeouts.ReadTotalTimeoutConstant = wait_ms;
      timeouts.WriteTotalTimeoutConstant = kWriteStallMs;
      if (!SetCommTimeouts(port_.get(), &timeouts)) Fail("Error del puerto", GetLastError());
      timeouts_ms_ = wait_ms;
    }
    char chunk[kChunk];
    held_.append(chunk, Transfer(true, chunk, sizeof chunk, wait_ms));
  }

  // One overlapped read or write, waited for at most `limit_ms`; a transfer still running
  // then is cancelled, keeping whatever it moved. Returns the number of bytes moved.
  DWORD Transfer(bool read, char* data, DWORD size, DWORD limit_ms) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = done_.get();
    ResetEvent(done_.get());
    const BOOL started = read ? ReadFile(port_.get(), data, size, nullptr, &overlapped)
                              : WriteFile(port_.get(), data, size, nullptr, &overlapped);
    if (!started && GetLastError() != ERROR_IO_PENDING) {
      Fail(read ? "No se pudo leer del puerto" : "No se pudo escribir en el puerto",
           GetLastError());
    }
    if (WaitForSingleObject(done_.get(), limit_ms) != WAIT_OBJECT_0) {
      CancelIoEx(port_.get(), &overlapped);
    }
    DWORD moved = 0;
    // A read whose time-out passed with nothing to read may end as a time-out error.
    if (!GetOverlappedResult(port_.get(), &overlapped, &moved, TRUE) &&
        GetLastError() != ERROR_OPERATION_ABORTED && GetLastError() != ERROR_TIMEOUT &&
        GetLastError() != ERROR_SEM_TIMEOUT) {
      Fail(read ? "No se pudo leer del puerto" : "No se pudo escribir en el puerto",
           GetLastError());
    }
    return moved;
  }

  Handle port_;
  std::unique_ptr<PortClaim> claim_;  // held while the port is open
  Handle done_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::string path_;
  std::string held_;  // bytes a wait brought that ReadPending has not handed over yet
  DWORD timeouts_ms_ = MAXDWORD;
};

// "COM5" is opened as "\\.\COM5", the form that also reaches COM10 and above.
std::string DevicePath(const std::string& path) {
  if (path.size() > 3 && _strnicmp(path.c_str(), "COM", 3) == 0) return "\\\\.\\" + path;
  return path;
}

}  // namespace

std::unique_ptr<SerialPort> OpenSerialPort(const std::string& path) {
  if (auto line = OpenInProcessPort(path)) return line;  // a line this process made
  auto claim = std::make_unique<PortClaim>(path);
  Handle port(CreateFileW(WideText(DevicePath(path)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                          nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  if (port.get() == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // Another program (not one of ours) holds the port.
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) InUse(path);
    throw Failure("No se pudo abrir el puerto " + path + ": " + SystemErrorText(error));
  }
  // 19200,N,8,1, binary, no software or hardware flow control, DTR and RTS raised.
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  bool configured = GetCommState(port.get(), &dcb) != FALSE;
  if (configured) {
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
    configured = SetCommState(port.get(), &dcb) != FALSE;
  }
  if (!configured) {
    const DWORD error = GetLastError();
    throw Failure("No se pudo configurar el puerto " + path + ": " + SystemErrorText(error));
  }
  PurgeComm(port.get(), PURGE_RXCLEAR | PURGE_TXCLEAR);
  return std::make_unique<Win32SerialPort>(port.Release(), std::move(claim), path);
}

std::string NativePortPath(int number) {
  return "COM" + std::to_string(number);
}

}  // namespace tovalix::platform
