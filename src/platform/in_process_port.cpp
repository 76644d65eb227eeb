#include "platform/in_process_port.hpp"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <utility>

namespace tovalix::platform {
namespace {

struct Pipe {
  std::mutex guard;
  std::condition_variable changed;
  std::string to_host;
  std::string to_device;
  bool device_open = true;
  bool host_open = false;
};

std::mutex registry_guard;
std::map<std::string, std::weak_ptr<Pipe>> registry;
unsigned long lines_made = 0;

class InProcessPort final : public SerialPort {
 public:
  InProcessPort(std::shared_ptr<Pipe> pipe, bool device, std::string path)
      : pipe_(std::move(pipe)), device_(device), path_(std::move(path)) {}
  ~InProcessPort() override { Close(); }
  InProcessPort(const InProcessPort&) = delete;
  InProcessPort& operator=(const InProcessPort&) = delete;

  const std::string& Path() const override { return path_; }

  void Write(std::string_view bytes) override {
    std::unique_lock lock(pipe_->guard);
    Check();
    // What a device sends while nobody holds the line is lost, as on a wire.
    if (device_ && !pipe_->host_open) return;
    (device_ ? pipe_->to_host : pipe_->to_device).append(bytes);
    pipe_->changed.notify_all();
  }

  bool WaitReadable(int real_ms) override {
    std::unique_lock lock(pipe_->guard);
    pipe_->changed.wait_for(lock, std::chrono::milliseconds(real_ms < 0 ? 0 : real_ms), [this] {
      return !open_ || !Incoming().empty() || (!device_ && !pipe_->device_open);
    });
    Check();
    return !Incoming().empty();
  }

  std::string ReadPending() override {
    std::unique_lock lock(pipe_->guard);
    Check();
    return std::exchange(Incoming(), std::string());
  }

  void Close() noexcept override {
    const std::lock_guard lock(pipe_->guard);
    if (!open_) return;
    open_ = false;
    (device_ ? pipe_->device_open : pipe_->host_open) = false;
    pipe_->changed.notify_all();
  }

  bool IsOpen() const override {
    const std::lock_guard lock(pipe_->guard);
    return open_;
  }

 private:
  std::string& Incoming() { return device_ ? pipe_->to_device : pipe_->to_host; }

  // Pending bytes stay readable after the device hung up; then the hang-up shows.
  void Check() {
    if (!open_) throw Failure("El puerto " + path_ + " está cerrado.");
    if (!device_ && !pipe_->device_open && pipe_->to_host.empty()) {
      throw Failure("El dispositivo del puerto " + path_ + " colgó la línea.");
    }
  }

  std::shared_ptr<Pipe> pipe_;
  bool device_;
  std::string path_;
  bool open_ = true;
};

// The device's end also withdraws the line's name when it goes.
class DeviceEnd final : public SerialPort {
 public:
  DeviceEnd(std::shared_ptr<Pipe> pipe, const std::string& name)
      : port_(std::move(pipe), true, name) {}
  ~DeviceEnd() override {
    const std::lock_guard lock(registry_guard);
    registry.erase(port_.Path());
  }
  DeviceEnd(const DeviceEnd&) = delete;
  DeviceEnd& operator=(const DeviceEnd&) = delete;

  const std::string& Path() const override { return port_.Path(); }
  void Write(std::string_view bytes) override { port_.Write(bytes); }
  bool WaitReadable(int real_ms) override { return port_.WaitReadable(real_ms); }
  std::string ReadPending() override { return port_.ReadPending(); }
  void Close() noexcept override { port_.Close(); }
  bool IsOpen() const override { return port_.IsOpen(); }

 private:
  InProcessPort port_;
};

}  // namespace

InProcessLine MakeInProcessLine() {
  auto pipe = std::make_shared<Pipe>();
  const std::lock_guard lock(registry_guard);
  std::string name = "tovalix-in-process-" + std::to_string(++lines_made);
  registry[name] = pipe;
  return {name, std::make_unique<DeviceEnd>(std::move(pipe), name)};
}

std::unique_ptr<SerialPort> OpenInProcessPort(const std::string& path) {
  std::shared_ptr<Pipe> pipe;
  {
    const std::lock_guard lock(registry_guard);
    const auto found = registry.find(path);
    if (found == registry.end()) return nullptr;
    pipe = found->second.lock();
  }
  if (!pipe) return nullptr;
  const std::lock_guard lock(pipe->guard);
  if (pipe->host_open) throw PortInUse(path);
  pipe->host_open = true;
  pipe->to_host.clear();  // a new open starts with an empty input queue
  return std::make_unique<InProcessPort>(pipe, false, path);
}

}  // namespace tovalix::platform
