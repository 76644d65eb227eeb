// The Nurit 293's vendor library seen from C++: the seven functions the driver calls, each
// returning the library's status (0 success) and, on failure, the error it reported. Texts and
// dictionaries here are UTF-8; the loaded library sees them in Windows-1252.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <tovalix/dictionary.hpp>

namespace tovalix::drivers::nurit293 {

// The caller's error object: what the library reports when a call fails.
struct LibraryError {
  std::int32_t number = 0;
  std::string description;
};

class Nurit293Library {
 public:
  virtual ~Nurit293Library() = default;

  // Each call fills `error` when it returns a status other than 0; a dictionary passed by
  // reference may come back with entries the library added.
  virtual std::int16_t VB_prepareDevice(const std::string& device, Dictionary& configuracion,
                                        LibraryError& error) = 0;
  virtual std::int16_t VB_startTransaction(LibraryError& error) = 0;
  virtual std::int16_t VB_readCardEx(Dictionary& transaccion, Dictionary& tarjeta,
                                     LibraryError& error) = 0;
  virtual std::int16_t VB_notifyResult(Dictionary& resultado, LibraryError& error) = 0;
  virtual std::int16_t VB_displayText(const std::string& texto, LibraryError& error) = 0;
  virtual std::int16_t VB_endTransaction(LibraryError& error) = 0;
  virtual std::int16_t VB_releaseDevice(LibraryError& error) = 0;
};

// Error numbers of a library that could not be loaded (the numbers Windows hosts know).
inline constexpr std::int32_t kLibraryNotFound = 53;     // no such file
inline constexpr std::int32_t kLibraryNotLoaded = 48;    // the file is not a loadable library
inline constexpr std::int32_t kEntryPointMissing = 453;  // one of the seven is not exported

// Opens the shared object at `path` and binds the seven functions. Never throws and never
// returns null: when the file is missing, cannot be loaded or lacks one of the seven, the
// library returned fails every call with status -1 and an error that says which, so that the
// driver reports it the way it reports any failure of the terminal.
std::unique_ptr<Nurit293Library> LoadNurit293Library(const std::string& path);

// The same for the library named by $TOVALIX_NURIT293_LIB. Without it, the library installed
// under the vendor's own name where the platform has one (Nurit293.dll on Windows); elsewhere a
// missing or empty variable is reported as a library that cannot be found.
std::unique_ptr<Nurit293Library> LoadNurit293LibraryFromEnvironment();

}  // namespace tovalix::drivers::nurit293
