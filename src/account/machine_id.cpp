#include "account/machine_id.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>

namespace {

// HKLM\SOFTWARE\Microsoft\Cryptography "MachineGuid": written once when the system is
// installed and kept for its life. Read from the 64-bit view so 32- and 64-bit builds agree.
std::wstring MachineGuid() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                      &key) != ERROR_SUCCESS) {
    return {};
  }
  wchar_t value[128] = {};
  DWORD size = sizeof value;
  const LSTATUS status = ::RegGetValueW(key, nullptr, L"MachineGuid", RRF_RT_REG_SZ, nullptr, value, &size);
  ::RegCloseKey(key);
  if (status != ERROR_SUCCESS) return {};
  value[sizeof value / sizeof value[0] - 1] = L'\0';
  return value;
}

// The serial number of the volume that holds the system folder, and the computer name.
std::wstring VolumeAndComputerName() {
  std::wstring text;
  wchar_t folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length >= 3 && length < MAX_PATH) {
    folder[3] = L'\0';  // "C:\"
    DWORD serial = 0;
    if (::GetVolumeInformationW(folder, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
      text += std::to_wstring(serial);
    }
  }
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD nameLength = MAX_COMPUTERNAME_LENGTH + 1;
  if (::GetComputerNameW(name, &nameLength)) {
    text += L'|';
    text += name;
  }
  return text;
}

}  // namespace

std::wstring MachineIdFromText(std::wstring_view source) {
  std::uint64_t hash = 14695981039346656037ull;
  for (wchar_t unit : source) {
    hash ^= static_cast<std::uint16_t>(unit);
    hash *= 1099511628211ull;
  }
  wchar_t text[17] = {};
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  for (int i = 15; i >= 0; --i) {
    text[i] = kDigits[hash & 0xF];
    hash >>= 4;
  }
  return text;
}

std::wstring ComputeMachineId() {
  std::wstring source = MachineGuid();
  if (source.empty()) source = VolumeAndComputerName();
  return MachineIdFromText(source);
}
