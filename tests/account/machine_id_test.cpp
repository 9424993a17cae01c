// The machine identifier: short, plain ASCII, and the same on every start.
#include <gtest/gtest.h>

#include "account/machine_id.h"

namespace {

bool IsUpperHex(const std::wstring& text) {
  for (wchar_t c : text) {
    if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'))) return false;
  }
  return true;
}

TEST(MachineId, StableShortHexFromTheMachine) {
  const std::wstring id = ComputeMachineId();
  EXPECT_EQ(id, ComputeMachineId());
  EXPECT_EQ(id.size(), 16u);
  EXPECT_LE(id.size(), kMachineIdMaxLength);
  EXPECT_TRUE(IsUpperHex(id)) << std::string(id.begin(), id.end());
  EXPECT_NE(id, MachineIdFromText(L""));  // made from something the machine keeps
}

TEST(MachineId, DerivedFromItsSourceText) {
  EXPECT_EQ(MachineIdFromText(L""), L"CBF29CE484222325");  // the hash's offset basis
  EXPECT_EQ(MachineIdFromText(L"a"), MachineIdFromText(L"a"));
  EXPECT_NE(MachineIdFromText(L"a"), MachineIdFromText(L"b"));
}

}  // namespace
