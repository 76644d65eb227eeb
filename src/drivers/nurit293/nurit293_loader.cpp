// The loader of the vendor library, and the bridge between our dictionaries and the C
// interface's key/value pairs.
#include <array>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "common/text_encoding.hpp"
#include "drivers/nurit293/nurit293_library.hpp"
#include "drivers/nurit293/nurit293_vendor.h"
#include "platform/shared_library.hpp"

namespace tovalix::drivers::nurit293 {
namespace {

// A dictionary as the C side sees it: the texts in Windows-1252, kept here, and a view of
// them as pairs that is rebuilt whenever the library sets an entry.
class CDictionary {
 public:
  explicit CDictionary(const Dictionary& source) {
    for (const auto& [key, value] : source.Entries()) {
      storage_.emplace_back(Utf8ToAnsi(key), Utf8ToAnsi(value));
    }
    c_.set = &CDictionary::SetEntry;
    c_.owner = this;
    Rebuild();
  }
  CDictionary(const CDictionary&) = delete;
  CDictionary& operator=(const CDictionary&) = delete;

  Nurit293Dictionary* get() { return &c_; }

  // Copies what the library left back into `target`, in order.
  void CopyTo(Dictionary& target) const {
    target.RemoveAll();
    for (const auto& [key, value] : storage_) target.Set(AnsiToUtf8(key), AnsiToUtf8(value));
  }

 private:
  static int SetEntry(Nurit293Dictionary* self, const char* key, const char* value) noexcept {
    if (self == nullptr || key == nullptr || self->owner == nullptr) return -1;
    try {
      auto* owner = static_cast<CDictionary*>(self->owner);
      std::string text = value == nullptr ? std::string() : std::string(value);
      bool found = false;
      for (auto& entry : owner->storage_) {
        if (entry.first == key) {
          entry.second = std::move(text);
          found = true;
          break;
        }
      }
      if (!found) owner->storage_.emplace_back(key, std::move(text));
      owner->Rebuild();
      return 0;
    } catch (...) {
      return -1;  // out of memory: the library sees a refused entry, never an exception
    }
  }

  void Rebuild() {
    pairs_.clear();
    for (const auto& [key, value] : storage_) pairs_.push_back({key.c_str(), value.c_str()});
    c_.pairs = pairs_.data();
    c_.count = pairs_.size();
  }

  std::vector<std::pair<std::string, std::string>> storage_;
  std::vector<Nurit293Pair> pairs_;
  Nurit293Dictionary c_{};
};

struct CError {
  Nurit293Error c{};

  // The error the library reported, when the call failed.
  void CopyTo(std::int16_t status, LibraryError& error) const {
    if (status == 0) return;
    error.number = c.number;
    error.description =
        AnsiToUtf8(std::string(c.description, strnlen(c.description, sizeof c.description)));
  }
};

class LoadedLibrary final : public Nurit293Library {
 public:
  struct Entries {
    Nurit293PrepareDevice prepare = nullptr;
    Nurit293StartTransaction start = nullptr;
    Nurit293ReadCardEx read = nullptr;
    Nurit293NotifyResult notify = nullptr;
    Nurit293DisplayText display = nullptr;
    Nurit293EndTransaction end = nullptr;
    Nurit293ReleaseDevice release = nullptr;
  };

  LoadedLibrary(std::unique_ptr<platform::SharedLibrary> library, Entries entries)
      : library_(std::move(library)), f_(entries) {}
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  std::int16_t VB_prepareDevice(const std::string& device, Dictionary& configuracion,
                                LibraryError& error) override {
    CError e;
    CDictionary settings(configuracion);
    const std::string name = Utf8ToAnsi(device);
    const std::int16_t status = f_.prepare(name.c_str(), settings.get(), &e.c);
    settings.CopyTo(configuracion);
    e.CopyTo(status, error);
    return status;
  }
  std::int16_t VB_startTransaction(LibraryError& error) override {
    CError e;
    const std::int16_t status = f_.start(&e.c);
    e.CopyTo(status, error);
    return status;
  }
  std::int16_t VB_readCardEx(Dictionary& transaccion, Dictionary& tarjeta,
                             LibraryError& error) override {
    CError e;
    CDictionary transaction(transaccion);
    CDictionary card(tarjeta);
    const std::int16_t status = f_.read(transaction.get(), card.get(), &e.c);
    transaction.CopyTo(transaccion);
    card.CopyTo(tarjeta);
    e.CopyTo(status, error);
    return status;
  }
  std::int16_t VB_notifyResult(Dictionary& resultado, LibraryError& error) override {
    CError e;
    CDictionary outcome(resultado);
    const std::int16_t status = f_.notify(outcome.get(), &e.c);
    outcome.CopyTo(resultado);
    e.CopyTo(status, error);
    return status;
  }
  std::int16_t VB_displayText(const std::string& texto, LibraryError& error) override {
    CError e;
    const std::string text = Utf8ToAnsi(texto);
    const std::int16_t status = f_.display(text.c_str(), &e.c);
    e.CopyTo(status, error);
    return status;
  }
  std::int16_t VB_endTransaction(LibraryError& error) override {
    CError e;
    const std::int16_t status = f_.end(&e.c);
    e.CopyTo(status, error);
    return status;
  }
  std::int16_t VB_releaseDevice(LibraryError& error) override {
    CError e;
    const std::int16_t status = f_.release(&e.c);
    e.CopyTo(status, error);
    return status;
  }

 private:
  std::unique_ptr<platform::SharedLibrary> library_;
  Entries f_;
};

// Stands for a library that could not be loaded: every call fails with the reason.
class UnavailableLibrary final : public Nurit293Library {
 public:
  explicit UnavailableLibrary(LibraryError reason) : reason_(std::move(reason)) {}

  std::int16_t VB_prepareDevice(const std::string&, Dictionary&, LibraryError& error) override {
    return Fail(error);
  }
  std::int16_t VB_startTransaction(LibraryError& error) override { return Fail(error); }
  std::int16_t VB_readCardEx(Dictionary&, Dictionary&, LibraryError& error) override {
    return Fail(error);
  }
  std::int16_t VB_notifyResult(Dictionary&, LibraryError& error) override { return Fail(error); }
  std::int16_t VB_displayText(const std::string&, LibraryError& error) override {
    return Fail(error);
  }
  std::int16_t VB_endTransaction(LibraryError& error) override { return Fail(error); }
  std::int16_t VB_releaseDevice(LibraryError& error) override { return Fail(error); }

 private:
  std::int16_t Fail(LibraryError& error) const {
    error = reason_;
    return -1;
  }
  LibraryError reason_;
};

std::unique_ptr<Nurit293Library> Unavailable(std::int32_t number, std::string description) {
  return std::make_unique<UnavailableLibrary>(LibraryError{number, std::move(description)});
}

template <typename Function>
bool Bind(const platform::SharedLibrary& library, const char* name, Function& target) {
  void* symbol = library.Symbol(name);
  if (symbol == nullptr) return false;
  target = reinterpret_cast<Function>(symbol);
  return true;
}

}  // namespace

std::unique_ptr<Nurit293Library> LoadNurit293Library(const std::string& path) {
  try {
    std::error_code ec;
    // A bare file name is looked for where the system finds libraries.
    const bool bare = std::filesystem::path(path).filename() == path;
    if (path.empty() || (!bare && !std::filesystem::is_regular_file(path, ec))) {
      return Unavailable(kLibraryNotFound, "No se encontró la biblioteca del Nurit 293: " + path);
    }
    std::unique_ptr<platform::SharedLibrary> library;
    try {
      library = std::make_unique<platform::SharedLibrary>(path);
    } catch (const std::exception& why) {
      return Unavailable(
          kLibraryNotLoaded,
          std::string("No se pudo cargar la biblioteca del Nurit 293: ") + why.what());
    }
    LoadedLibrary::Entries f;
    const char* missing = nullptr;
    if (!Bind(*library, "VB_prepareDevice", f.prepare))
      missing = "VB_prepareDevice";
    else if (!Bind(*library, "VB_startTransaction", f.start))
      missing = "VB_startTransaction";
    else if (!Bind(*library, "VB_readCardEx", f.read))
      missing = "VB_readCardEx";
    else if (!Bind(*library, "VB_notifyResult", f.notify))
      missing = "VB_notifyResult";
    else if (!Bind(*library, "VB_displayText", f.display))
      missing = "VB_displayText";
    else if (!Bind(*library, "VB_endTransaction", f.end))
      missing = "VB_endTransaction";
    else if (!Bind(*library, "VB_releaseDevice", f.release))
      missing = "VB_releaseDevice";
    if (missing != nullptr) {
      return Unavailable(kEntryPointMissing, std::string("No se encontró el punto de entrada ") +
                                                 missing + " en " + path);
    }
    return std::make_unique<LoadedLibrary>(std::move(library), f);
  } catch (const std::exception& error) {
    return Unavailable(kLibraryNotLoaded, error.what());
  }
}

std::unique_ptr<Nurit293Library> LoadNurit293LibraryFromEnvironment() {
  const char* path = std::getenv("TOVALIX_NURIT293_LIB");
  if (path == nullptr || *path == '\0') {
    if (const auto installed = platform::SystemLibraryFileName("Nurit293")) {
      return LoadNurit293Library(*installed);
    }
    return Unavailable(kLibraryNotFound,
                       "No se encontró la biblioteca del Nurit 293: TOVALIX_NURIT293_LIB no está "
                       "definida");
  }
  return LoadNurit293Library(path);
}

}  // namespace tovalix::drivers::nurit293
