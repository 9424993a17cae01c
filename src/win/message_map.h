// A window's message map as data: one table per window lists every message the window
// takes, in the order they are tried. An entry either handles a message itself or chains
// to a mix-in (or a free function) that takes a few messages of its own:
//   OnMessage(message, &T::Handler)   handles the message
//   OnCommand(id, &T::Handler)        handles WM_COMMAND whose low word of wParam is id
//   OnTimer(id, &T::Handler)          handles WM_TIMER of the timer id
//   ThenDefault(message, &T::Handler) runs the handler, then leaves the message to the
//                                     window's default processing (no later entry sees it)
//   Chain(&T::ProcessX)               asks a mix-in; the first that takes the message ends
//   ChainTo(&ProcessX)                the same for a free function
// A window's ProcessWindowMessage is DispatchMessageMap over its table.
#pragma once

#include <windows.h>

#include <cstddef>

namespace win {

template <class T>
struct MessageEntry {
  using Handler = LRESULT (T::*)(WPARAM, LPARAM);
  using Chained = bool (T::*)(HWND, UINT, WPARAM, LPARAM, LRESULT&);
  using ChainedFunction = bool (*)(HWND, UINT, WPARAM, LPARAM, LRESULT&);
  enum class Kind { kHandle, kHandleThenDefault, kChain, kChainFunction };
  static constexpr WPARAM kAnyId = ~WPARAM{0};

  Kind kind;
  UINT message;
  WPARAM id;  // the command or timer id, or kAnyId
  Handler handler;
  Chained chained;
  ChainedFunction chainedFunction;
};

template <class T>
constexpr MessageEntry<T> OnMessage(UINT message, typename MessageEntry<T>::Handler handler) {
  return {MessageEntry<T>::Kind::kHandle, message, MessageEntry<T>::kAnyId, handler, nullptr, nullptr};
}

template <class T>
constexpr MessageEntry<T> OnCommand(WORD id, typename MessageEntry<T>::Handler handler) {
  return {MessageEntry<T>::Kind::kHandle, WM_COMMAND, id, handler, nullptr, nullptr};
}

template <class T>
constexpr MessageEntry<T> OnTimer(UINT_PTR id, typename MessageEntry<T>::Handler handler) {
  return {MessageEntry<T>::Kind::kHandle, WM_TIMER, id, handler, nullptr, nullptr};
}

template <class T>
constexpr MessageEntry<T> ThenDefault(UINT message, typename MessageEntry<T>::Handler handler) {
  return {MessageEntry<T>::Kind::kHandleThenDefault, message, MessageEntry<T>::kAnyId, handler, nullptr, nullptr};
}

template <class T>
constexpr MessageEntry<T> Chain(typename MessageEntry<T>::Chained chained) {
  return {MessageEntry<T>::Kind::kChain, 0, MessageEntry<T>::kAnyId, nullptr, chained, nullptr};
}

template <class T>
constexpr MessageEntry<T> ChainTo(typename MessageEntry<T>::ChainedFunction chained) {
  return {MessageEntry<T>::Kind::kChainFunction, 0, MessageEntry<T>::kAnyId, nullptr, nullptr, chained};
}

// Runs the table in order; returns whether the message was handled (and its result), false
// for the window's default processing.
template <class T, std::size_t N>
bool DispatchMessageMap(T& self, const MessageEntry<T> (&map)[N], HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam, LRESULT& result) {
  using Kind = typename MessageEntry<T>::Kind;
  const WPARAM id = message == WM_COMMAND ? LOWORD(wParam) : wParam;
  for (const auto& entry : map) {
    switch (entry.kind) {
      case Kind::kChain:
        if ((self.*entry.chained)(window, message, wParam, lParam, result)) return true;
        continue;
      case Kind::kChainFunction:
        if (entry.chainedFunction(window, message, wParam, lParam, result)) return true;
        continue;
      case Kind::kHandle:
      case Kind::kHandleThenDefault:
        break;
    }
    if (entry.message != message) continue;
    if (entry.id != MessageEntry<T>::kAnyId && entry.id != id) continue;
    result = (self.*entry.handler)(wParam, lParam);
    return entry.kind == Kind::kHandle;
  }
  return false;
}

}  // namespace win
