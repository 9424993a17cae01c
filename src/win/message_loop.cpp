#include "win/message_loop.h"

#include <algorithm>

namespace {

template <typename T>
bool RemoveFrom(std::vector<T*>& list, T* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

constexpr UINT kCaretBlinkTimer = 0x0118;

}  // namespace

bool CMessageLoop::AddMessageFilter(CMessageFilter* filter) {
  filters_.push_back(filter);
  return true;
}

bool CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) { return RemoveFrom(filters_, filter); }

bool CMessageLoop::AddIdleHandler(CIdleHandler* handler) {
  idleHandlers_.push_back(handler);
  return true;
}

bool CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) { return RemoveFrom(idleHandlers_, handler); }

bool CMessageLoop::IsIdleMessage(const MSG& msg) {
  switch (msg.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case kCaretBlinkTimer:
      return false;
    default:
      return true;
  }
}

int CMessageLoop::Run() {
  bool idle = true;
  for (;;) {
    while (idle && !::PeekMessageW(&msg_, nullptr, 0, 0, PM_NOREMOVE)) {
      OnIdle();
      idle = false;
    }
    BOOL got = ::GetMessageW(&msg_, nullptr, 0, 0);
    if (got == -1) continue;
    if (!got) return static_cast<int>(msg_.wParam);
    if (!PreTranslateMessage(&msg_)) {
      ::TranslateMessage(&msg_);
      ::DispatchMessageW(&msg_);
    }
    if (IsIdleMessage(msg_)) idle = true;
  }
}

bool CMessageLoop::PreTranslateMessage(MSG* msg) {
  const std::vector<CMessageFilter*> filters = filters_;  // a filter may unregister itself
  for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
    if ((*it)->PreTranslateMessage(msg)) return true;
  }
  return false;
}

void CMessageLoop::OnIdle() {
  const std::vector<CIdleHandler*> handlers = idleHandlers_;
  for (CIdleHandler* handler : handlers) handler->OnIdle();
}
