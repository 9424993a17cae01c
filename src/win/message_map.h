// A window's message map as data: each entry names a message (and, for WM_COMMAND, the
// command id matched on the low word of wParam alone) and the member that handles it.
// Entries are tried in order; the first match handles the message.
#pragma once

#include <windows.h>

#include <cstddef>

namespace win {

inline constexpr int kAnyId = -1;

template <class T>
struct MessageEntry {
  using Handler = LRESULT (T::*)(WPARAM, LPARAM);
  UINT message;
  int commandId;
  Handler handler;
};

template <class T>
constexpr MessageEntry<T> OnMessage(UINT message, typename MessageEntry<T>::Handler handler) {
  return {message, kAnyId, handler};
}

template <class T>
constexpr MessageEntry<T> OnCommand(int id, typename MessageEntry<T>::Handler handler) {
  return {WM_COMMAND, id, handler};
}

// Runs the first entry that matches; returns false when none does.
template <class T, std::size_t N>
bool DispatchMessageMap(T& self, const MessageEntry<T> (&map)[N], UINT message, WPARAM wParam,
                        LPARAM lParam, LRESULT& result) {
  for (const auto& entry : map) {
    if (entry.message != message) continue;
    if (entry.commandId != kAnyId && static_cast<int>(LOWORD(wParam)) != entry.commandId) continue;
    result = (self.*entry.handler)(wParam, lParam);
    return true;
  }
  return false;
}

}  // namespace win
