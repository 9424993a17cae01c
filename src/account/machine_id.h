// The machine identifier sent as "id" with every account-service request: 16 upper-case
// hexadecimal digits, the same on every start on one machine.
#pragma once

#include <string>
#include <string_view>

// Most characters the identifier may have (the settings record keeps 20 and a NUL).
inline constexpr std::size_t kMachineIdMaxLength = 20;

// The identifier made from what names the machine: a 64-bit FNV-1a hash of the text's
// UTF-16 units, as 16 hexadecimal digits. The same text always gives the same identifier.
std::wstring MachineIdFromText(std::wstring_view source);

// The identifier of this machine, from the installation's machine GUID; where there is
// none, from the system volume's serial number and the computer name. Never random.
std::wstring ComputeMachineId();
