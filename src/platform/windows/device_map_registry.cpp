// The Windows device map: the registry's HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, one value per
// serial device, the value's name the device ("\Device\Serial0") and its data the port
// ("COM1").
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "common/failure.hpp"
#include "platform/device_map.hpp"
#include "platform/windows/wide_text.hpp"

namespace tovalix::platform {
namespace {

constexpr wchar_t kSerialComm[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

class RegistryDeviceMap : public DeviceMap {
 public:
  std::vector<DeviceMapEntry> Entries() const override {
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_READ, &key);
    // Windows creates the key only while some serial device exists.
    if (opened == ERROR_FILE_NOT_FOUND) return {};
    if (opened != ERROR_SUCCESS) {
      throw Failure("No se pudo leer el registro SERIALCOMM (error " + std::to_string(opened) +
                    ")");
    }
    std::vector<DeviceMapEntry> entries;
    for (DWORD index = 0;; ++index) {
      wchar_t name[256];
      DWORD name_length = 256;
      wchar_t data[256];
      DWORD data_size = sizeof data;
      DWORD type = 0;
      const LONG read = RegEnumValueW(key, index, name, &name_length, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &data_size);
      if (read == ERROR_NO_MORE_ITEMS) break;
      if (read != ERROR_SUCCESS || type != REG_SZ) continue;  // too long or not a port name
      std::size_t data_length = data_size / sizeof(wchar_t);
      while (data_length > 0 && data[data_length - 1] == L'\0') --data_length;
      entries.push_back({NarrowText(std::wstring_view(name, name_length)),
                         NarrowText(std::wstring_view(data, data_length))});
    }
    RegCloseKey(key);
    return entries;
  }
  std::string Source() const override { return "registry HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM"; }
};

}  // namespace

std::unique_ptr<DeviceMap> SystemDeviceMap() {
  const char* table = std::getenv("TOVALIX_DEVICE_MAP");
  if (table != nullptr && *table != '\0') return std::make_unique<TableDeviceMap>(table);
  return std::make_unique<RegistryDeviceMap>();
}

}  // namespace tovalix::platform
