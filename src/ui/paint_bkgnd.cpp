#include "ui/paint_bkgnd.h"

void PaintBackgroundOffscreen(HWND window, HDC dc, HBRUSH brush) noexcept {
  RECT client{};
  ::GetClientRect(window, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  win::MemoryDc memory(::CreateCompatibleDC(dc));
  win::Bitmap bitmap(::CreateCompatibleBitmap(dc, width, height));
  if (!memory || !bitmap) return;  // nothing painted; the next erase tries again
  win::SelectObjectScope selected(memory.Get(), bitmap.Get());
  ::FillRect(memory.Get(), &client, brush);
  ::BitBlt(dc, client.left, client.top, width, height, memory.Get(), client.left, client.top, SRCCOPY);
}
