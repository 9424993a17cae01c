#include "main_window_support.h"

#include <commctrl.h>

#include "win/app_module.h"
#include "app/main_window/run_log_view.h"
#include "flags/process_flags.h"
#include "wait_until.h"

MainWindowHarness::MainWindowHarness() {
  static const bool initialised = [] {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};  // what the program asks for
    ::InitCommonControlsEx(&controls);
    _Module.Init(::GetModuleHandleW(nullptr));
    return true;
  }();
  (void)initialised;
  // Each window is a new program run as far as the workers' flags go.
  g_bQuit = false;
  g_bStop = false;
  g_bSignedIn = false;
  _Module.AddMessageLoop(&loop_);
  dialog_ = std::make_unique<CMainDlg>(base_.Path());
}

MainWindowHarness::~MainWindowHarness() {
  if (::IsWindow(window_)) ::DestroyWindow(window_);
  dialog_.reset();
  _Module.RemoveMessageLoop();
  MSG msg{};
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

bool MainWindowHarness::Open() {
  window_ = dialog_->Create(nullptr);
  if (!window_) return false;
  ::ShowWindow(window_, SW_SHOWNORMAL);
  return true;
}

std::wstring MainWindowHarness::Text(int id) const {
  wchar_t text[2048] = {};
  ::GetDlgItemTextW(window_, id, text, 2048);
  return text;
}

std::wstring MainWindowHarness::ComboText(int id) const {
  const LRESULT selection = ::SendMessageW(Control(id), CB_GETCURSEL, 0, 0);
  if (selection < 0) return L"";
  wchar_t text[64] = {};
  ::SendMessageW(Control(id), CB_GETLBTEXT, static_cast<WPARAM>(selection), reinterpret_cast<LPARAM>(text));
  return text;
}

// Reads the log the way other programs (screen readers, test tools) do: the item count, then
// each item's text, asking again with more room when a text was cut.
std::vector<std::wstring> MainWindowHarness::Log() {
  const HWND list = Control(IDC_RUN_LOG);
  std::vector<std::wstring> lines;
  const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::wstring text(512, L'\0');
    for (;;) {
      LVITEMW item{};
      item.iSubItem = 0;
      item.pszText = text.data();
      item.cchTextMax = static_cast<int>(text.size());
      const auto length = static_cast<size_t>(::SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item)));
      if (length + 1 < text.size()) {
        text.resize(length);
        break;
      }
      text.assign(text.size() * 2, L'\0');
    }
    lines.push_back(std::move(text));
  }
  return lines;
}

void MainWindowHarness::Event(int index, int code) {
  ::SendMessageW(window_, WM_MONITOREVENT, index, code);
  Pump();
}

bool MainWindowHarness::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  return test_support::WaitUntil(done, timeoutMs, window_);
}
