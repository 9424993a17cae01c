// The control styles of the dialog templates as built into the program, read from the
// resource itself: the dialog manager and the controls rewrite some style bits once a
// window exists (an edit box moves its border out of the style), so windows cannot show them.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>

#include "res/resource.h"

namespace {

// Steps over a string-or-ordinal field of a template: 0xFFFF and a number, or a wide string.
const std::uint8_t* SkipSzOrOrd(const std::uint8_t* p) {
  const auto* units = reinterpret_cast<const WORD*>(p);
  if (units[0] == 0xFFFF) return p + 2 * sizeof(WORD);
  while (*units) ++units;
  return reinterpret_cast<const std::uint8_t*>(units + 1);
}

const std::uint8_t* AlignToDword(const std::uint8_t* p, const std::uint8_t* base) {
  return base + ((p - base + 3) & ~std::intptr_t{3});
}

template <typename T>
T Read(const std::uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

// The style of control `id` in the extended dialog template `dialog`, if it has one.
std::optional<DWORD> ControlStyle(int dialog, int id) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(dialog), MAKEINTRESOURCEW(5) /* dialog */);
  if (!found) return std::nullopt;
  const auto* base = static_cast<const std::uint8_t*>(::LockResource(::LoadResource(module, found)));
  // DLGTEMPLATEEX: version, signature, help id, extended style, style, item count, rectangle.
  if (Read<WORD>(base + 2) != 0xFFFF) return std::nullopt;
  const DWORD dialogStyle = Read<DWORD>(base + 12);
  const WORD count = Read<WORD>(base + 16);
  const std::uint8_t* p = SkipSzOrOrd(SkipSzOrOrd(SkipSzOrOrd(base + 26)));  // menu, class, title
  if (dialogStyle & DS_SETFONT) p = SkipSzOrOrd(p + 6);                      // size, weight, italic, charset, face
  for (WORD i = 0; i < count; ++i) {
    // DLGITEMTEMPLATEEX: help id, extended style, style, rectangle, id, class, title, extra data.
    p = AlignToDword(p, base);
    const DWORD style = Read<DWORD>(p + 8);
    const DWORD itemId = Read<DWORD>(p + 20);
    p = SkipSzOrOrd(SkipSzOrOrd(p + 24));
    p += sizeof(WORD) + Read<WORD>(p);
    if (static_cast<int>(itemId) == id) return style;
  }
  return std::nullopt;
}

TEST(DialogTemplates, ControlStylesAreTheDesignedOnes) {
  const struct {
    const char* what;
    int dialog;
    int control;
    DWORD required;
    DWORD forbidden;
  } cases[] = {
      // A centred, wrapping strip: a long notice takes a second line instead of being clipped.
      {"sign-in status strip", IDD_LOGIN, IDC_LOGIN_STATUS, SS_CENTER,
       SS_CENTERIMAGE | WS_BORDER | (SS_TYPEMASK & ~SS_CENTER)},
      {"run log", IDD_MAINDLG, IDC_RUN_LOG, LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_ALIGNLEFT | WS_TABSTOP, WS_BORDER},
      {"address box", IDD_MAINDLG, IDC_SITES,
       ES_MULTILINE | ES_AUTOHSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP, WS_BORDER},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<DWORD> style = ControlStyle(c.dialog, c.control);
    ASSERT_TRUE(style);
    EXPECT_EQ(c.required, *style & c.required);
    EXPECT_EQ(0u, *style & c.forbidden);
  }
}

}  // namespace
