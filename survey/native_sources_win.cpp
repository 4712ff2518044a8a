#include "survey/native_sources_win.h"

#include <windows.h>
#include <setupapi.h>
#include <winioctl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/com_win.h"
#include "base/dyn_calls_win.h"
#include "base/utf.h"
#include "base/win_handles_win.h"

namespace varnello {
namespace {

using base::Dyn;

// Spelled out: MinGW's libraries have carried wrong GUIDs.
constexpr GUID kDisplayClass = {0x4d36e968, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
constexpr GUID kMediaClass = {0x4d36e96c, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
constexpr GUID kNetClass = {0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
constexpr GUID kDiskInterface = {0x53f56307, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};
constexpr wchar_t kNetConnections[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\";

struct KeyTraits {
  static void Close(HKEY key) { RegCloseKey(key); }
};
using RegistryKey = Owned<HKEY, KeyTraits>;
struct DeviceListTraits {
  static void Close(HDEVINFO list) { SetupDiDestroyDeviceInfoList(list); }
};
using DeviceList = Owned<HDEVINFO, DeviceListTraits>;

// The present devices of a class or interface; empty where there is no list.
DeviceList PresentDevices(const GUID& kind, DWORD flags) {
  HDEVINFO list = SetupDiGetClassDevsW(&kind, nullptr, nullptr, DIGCF_PRESENT | flags);
  return DeviceList(list == INVALID_HANDLE_VALUE ? nullptr : list);
}

template <class Text>
Text UpToNul(Text text) {
  text.resize(std::find(text.begin(), text.end(), 0) - text.begin());
  return text;
}

// HKLM as 64-bit programs see it, from the 32-bit program on 64-bit Windows
// too (32-bit XP ignores the flag).
RegistryKey OpenMachineKey(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
    return RegistryKey();
  return RegistryKey(key);
}

std::vector<BYTE> ReadValue(HKEY key, const wchar_t* name, DWORD* type = nullptr) {
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) return {};
  std::vector<BYTE> data(size);
  if (RegQueryValueExW(key, name, nullptr, type, data.data(), &size) != ERROR_SUCCESS) return {};
  data.resize(size);
  return data;
}

// A string value (or a list's first string), up to its first NUL.
std::optional<std::u16string> ReadText(const std::wstring& path, const wchar_t* name) {
  RegistryKey key = OpenMachineKey(path);
  if (!key) return std::nullopt;
  DWORD type = 0;
  std::vector<BYTE> data = ReadValue(key.get(), name, &type);
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return std::nullopt;
  std::u16string text(data.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  return UpToNul(std::move(text));
}

// RawSMBIOSData: from the firmware where the system hands it out, else
// the copy XP's SMBIOS driver keeps in the registry.
std::vector<std::uint8_t> RawSmbios() {
  constexpr DWORD kRsmb = 'R' << 24 | 'S' << 16 | 'M' << 8 | 'B';
  std::vector<std::uint8_t> raw;
  if (auto get = Dyn().GetSystemFirmwareTable.get()) {
    UINT size = get(kRsmb, 0, nullptr, 0);
    raw.resize(size);
    if (size) raw.resize(get(kRsmb, 0, raw.data(), size) == size ? size : 0);
    return raw;
  }
  RegistryKey key = OpenMachineKey(L"SYSTEM\\CurrentControlSet\\Services\\mssmbios\\Data");
  return key ? ReadValue(key.get(), L"SMBiosData") : raw;
}

std::u16string ProductName() {
  if (auto brand = Dyn().BrandingFormatString.get()) {
    if (wchar_t* name = brand(L"%WINDOWS_LONG%")) {
      std::wstring text(name);
      GlobalFree(name);
      if (!text.empty()) return SystemCaption(U16(text), false, false);
    }
  }
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof version;
  bool xp = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)) && version.dwMajorVersion == 5 &&
            version.dwMinorVersion == 1;
  auto name = ReadText(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"ProductName");
  return SystemCaption(name.value_or(u"Windows"), xp, (version.wSuiteMask & VER_SUITE_PERSONAL) != 0);
}

// A row a processor package, named from its first logical processor.
std::vector<NativeRow> ProcessorRows() {
  std::vector<DWORD> firsts;
  if (auto get = Dyn().GetLogicalProcessorInformation.get()) {
    DWORD size = 0;
    get(nullptr, &size);
    std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> info(size / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
    size = static_cast<DWORD>(info.size() * sizeof info[0]);
    if (!info.empty() && get(info.data(), &size)) {
      for (const auto& item : info) {
        if (item.Relationship != RelationProcessorPackage || !item.ProcessorMask) continue;
        DWORD first = 0;
        while (!(item.ProcessorMask >> first & 1)) ++first;
        firsts.push_back(first);
      }
    }
  }
  if (firsts.empty()) firsts.push_back(0);
  std::vector<NativeRow> rows;
  for (DWORD first : firsts) {
    auto name = ReadText(L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\" + std::to_wstring(first),
                         L"ProcessorNameString");
    rows.push_back({{u"Name", TextOrNull(name)}});
  }
  return rows;
}

std::optional<std::u16string> DeviceText(HDEVINFO list, SP_DEVINFO_DATA& device, DWORD property) {
  DWORD type = 0, size = 0;
  SetupDiGetDeviceRegistryPropertyW(list, &device, property, &type, nullptr, 0, &size);
  if (size < sizeof(wchar_t)) return std::nullopt;
  std::wstring text(size / sizeof(wchar_t), L'\0');
  if (!SetupDiGetDeviceRegistryPropertyW(list, &device, property, &type, reinterpret_cast<BYTE*>(&text[0]), size,
                                         nullptr) ||
      (type != REG_SZ && type != REG_MULTI_SZ))
    return std::nullopt;
  return U16(UpToNul(std::move(text)));
}

bool IsSoftwareDevice(HDEVINFO list, SP_DEVINFO_DATA& device) {
  wchar_t id[200] = {};  // MAX_DEVICE_ID_LEN
  if (!SetupDiGetDeviceInstanceIdW(list, &device, id, 200, nullptr)) return false;
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, id, 5, L"ROOT\\", 5) == CSTR_EQUAL;
}

// The present devices of a setup class, each as `row` makes it.
template <class MakeRow>
std::vector<NativeRow> ClassRows(const GUID& setup_class, bool skip_software, MakeRow row) {
  std::vector<NativeRow> rows;
  DeviceList list = PresentDevices(setup_class, 0);
  if (!list) return rows;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(list.get(), i, &device); ++i) {
    if (skip_software && IsSoftwareDevice(list.get(), device)) continue;
    rows.push_back(row(list.get(), device));
  }
  return rows;
}

std::optional<std::u16string> FriendlyOrDescription(HDEVINFO list, SP_DEVINFO_DATA& device) {
  auto name = DeviceText(list, device, SPDRP_FRIENDLYNAME);
  return name ? name : DeviceText(list, device, SPDRP_DEVICEDESC);
}

// The connection's name, kept under the adapter's NetCfgInstanceId.
SurveyValue ConnectionName(HDEVINFO list, SP_DEVINFO_DATA& device) {
  HKEY opened = SetupDiOpenDevRegKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_QUERY_VALUE);
  if (opened == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) return SurveyValue::Null();
  RegistryKey driver(opened);
  std::vector<BYTE> id = ReadValue(driver.get(), L"NetCfgInstanceId");
  std::wstring instance(id.size() / sizeof(wchar_t), L'\0');
  std::copy(id.begin(), id.begin() + instance.size() * sizeof(wchar_t), reinterpret_cast<BYTE*>(&instance[0]));
  instance = UpToNul(std::move(instance));
  if (instance.empty()) return SurveyValue::Null();
  return TextOrNull(ReadText(std::wstring(kNetConnections) + instance + L"\\Connection", L"Name"));
}

// Opened for neither reading nor writing: the size and the name need no
// administrator rights.
KernelHandle OpenDevice(const wchar_t* path) {
  HANDLE h = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  return KernelHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

SurveyValue DiskSize(HANDLE disk) {
  DISK_GEOMETRY geometry{};
  DWORD got = 0;
  if (!DeviceIoControl(disk, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry, &got, nullptr))
    return SurveyValue::Null();  // no medium, among others
  return BytesValue(DiskBytes(geometry.Cylinders.QuadPart, geometry.TracksPerCylinder, geometry.SectorsPerTrack,
                              geometry.BytesPerSector));
}

// "vendor product" from the device's own descriptor; null where both are
// empty.
SurveyValue DiskModel(HANDLE disk) {
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = StorageDeviceProperty;
  query.QueryType = PropertyStandardQuery;
  std::vector<BYTE> out(4096);
  DWORD got = 0;
  if (!DeviceIoControl(disk, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, out.data(),
                       static_cast<DWORD>(out.size()), &got, nullptr) ||
      got < sizeof(STORAGE_DEVICE_DESCRIPTOR))
    return SurveyValue::Null();
  const auto* descriptor = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(out.data());
  std::string model;
  for (DWORD offset : {descriptor->VendorIdOffset, descriptor->ProductIdOffset}) {
    if (offset == 0 || offset >= got) continue;
    std::string part = UpToNul(std::string(out.begin() + offset, out.begin() + got));
    part.erase(part.find_last_not_of(' ') + 1);
    part.erase(0, part.find_first_not_of(' ') == std::string::npos ? part.size() : part.find_first_not_of(' '));
    if (part.empty()) continue;
    model += (model.empty() ? "" : " ") + part;
  }
  return model.empty() ? SurveyValue::Null() : SurveyValue::Text(FromUtf8(model));
}

std::vector<NativeRow> DiskRows() {
  std::vector<NativeRow> rows;
  DeviceList list = PresentDevices(kDiskInterface, DIGCF_DEVICEINTERFACE);
  SP_DEVICE_INTERFACE_DATA disk{};
  disk.cbSize = sizeof disk;
  for (DWORD i = 0; list && SetupDiEnumDeviceInterfaces(list.get(), nullptr, &kDiskInterface, i, &disk); ++i) {
    DWORD size = 0;
    SetupDiGetDeviceInterfaceDetailW(list.get(), &disk, nullptr, 0, &size, nullptr);
    if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) continue;
    std::vector<BYTE> buffer(size);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiGetDeviceInterfaceDetailW(list.get(), &disk, detail, size, nullptr, &device)) continue;
    KernelHandle handle = OpenDevice(detail->DevicePath);
    rows.push_back({{u"Size", handle ? DiskSize(handle.get()) : SurveyValue::Null()},
                    {u"Model", TextOrNull(FriendlyOrDescription(list.get(), device))}});
  }
  if (!rows.empty()) return rows;
  // Disks that are no Plug and Play devices (Wine's): by number, until one
  // is missing.
  for (int n = 0;; ++n) {
    KernelHandle handle = OpenDevice((L"\\\\.\\PhysicalDrive" + std::to_wstring(n)).c_str());
    if (!handle) break;
    rows.push_back({{u"Size", DiskSize(handle.get())}, {u"Model", DiskModel(handle.get())}});
  }
  return rows;
}

std::uint64_t InstalledMemory() {
  ULONGLONG kilobytes = 0;
  if (auto get = Dyn().GetPhysicallyInstalledSystemMemory.get(); get && get(&kilobytes) && kilobytes)
    return kilobytes * 1024;
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

class Sources final : public NativeSources {
 public:
  std::vector<NativeRow> Rows(NativeClass listing) override {
    switch (listing) {
      case NativeClass::kOperatingSystem: return {{{u"Caption", SurveyValue::Text(ProductName())}}};
      case NativeClass::kBaseBoard: return BoardRows(Smbios());
      case NativeClass::kBios: {
        auto version = ReadText(L"HARDWARE\\DESCRIPTION\\System", L"SystemBiosVersion");
        if (!version && Smbios().bios_version) version = FirmwareText(*Smbios().bios_version);
        return {{{u"Version", TextOrNull(version)}}};
      }
      case NativeClass::kProcessor: return ProcessorRows();
      case NativeClass::kVideoController:
        return ClassRows(kDisplayClass, true, [](HDEVINFO list, SP_DEVINFO_DATA& device) {
          return NativeRow{{u"Description", TextOrNull(DeviceText(list, device, SPDRP_DEVICEDESC))}};
        });
      case NativeClass::kSoundDevice:
        return ClassRows(kMediaClass, true, [](HDEVINFO list, SP_DEVINFO_DATA& device) {
          return NativeRow{{u"ProductName", TextOrNull(FriendlyOrDescription(list, device))}};
        });
      case NativeClass::kNetworkAdapter:
        return ClassRows(kNetClass, false, [](HDEVINFO list, SP_DEVINFO_DATA& device) {
          return NativeRow{{u"Name", TextOrNull(FriendlyOrDescription(list, device))},
                           {u"NetConnectionID", ConnectionName(list, device)}};
        });
      case NativeClass::kPhysicalMemory: return MemoryRows(Smbios(), InstalledMemory());
      case NativeClass::kComputerSystem: return {NativeRow{}};
      case NativeClass::kDiskDrive: return DiskRows();
    }
    return {};
  }

 private:
  // Read once, for the board, the firmware and the memory.
  const SmbiosFacts& Smbios() {
    if (!smbios_) {
      std::vector<std::uint8_t> raw = RawSmbios();
      smbios_ = ReadSmbios(raw.data(), raw.size());
    }
    return *smbios_;
  }

  std::optional<SmbiosFacts> smbios_;
};

}  // namespace

std::shared_ptr<NativeSources> WindowsSources() { return std::make_shared<Sources>(); }

}  // namespace varnello
