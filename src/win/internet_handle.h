// Owner of one WinINet handle (session, connection or request): closed exactly once,
// when the owner goes away.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "win/unique_handle.h"

namespace win {

struct InternetHandleTraits {
  static HINTERNET Invalid() noexcept { return nullptr; }
  static void Close(HINTERNET h) noexcept { ::InternetCloseHandle(h); }
};

using InternetHandle = UniqueHandle<HINTERNET, InternetHandleTraits>;

}  // namespace win
