#include "program_driver.h"

#include <commctrl.h>

#include "window_probes.h"

namespace {

bool IsMainWindow(HWND window) {
  wchar_t title[64] = {};
  ::GetWindowTextW(window, title, 64);
  return std::wstring(title) == L"禾岚网站监控";
}

// Memory in the program's address space for one list-view request and its text.
class RemoteBlock {
 public:
  RemoteBlock(HANDLE process, size_t size)
      : process_(process), address_(::VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
  ~RemoteBlock() {
    if (address_) ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;
  char* Address() const { return static_cast<char*>(address_); }

 private:
  HANDLE process_;
  void* address_;
};

}  // namespace

ProgramDriver::~ProgramDriver() {
  if (process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process_.Get(), 99);
    ::WaitForSingleObject(process_.Get(), 5000);
  }
}

bool ProgramDriver::Start(const std::wstring& exePath, DWORD timeoutMs) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring commandLine = L"\"" + exePath + L"\"";
  if (!::CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
    return false;
  }
  ::CloseHandle(info.hThread);
  process_.Reset(info.hProcess);
  processId_ = info.dwProcessId;
  ::WaitForInputIdle(info.hProcess, timeoutMs);
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  while (::GetTickCount64() < end) {
    if ((window_ = FindProcessWindow(processId_, &IsMainWindow))) return true;
    ::Sleep(100);
  }
  return false;
}

void ProgramDriver::SetText(int id, const std::wstring& text) const {
  ::SendMessageW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ProgramDriver::Select(int id, int index) const { ::SendMessageW(Control(id), CB_SETCURSEL, index, 0); }

void ProgramDriver::Click(int id) const { ::SendMessageW(Control(id), BM_CLICK, 0, 0); }

std::vector<std::wstring> ProgramDriver::Log() const {
  // The list view's text requests carry pointers, which must point into the program.
  constexpr size_t kTextChars = 1024;
  std::vector<std::wstring> lines;
  HWND list = Control(1018);
  RemoteBlock block(process_.Get(), sizeof(LVITEMW) + kTextChars * sizeof(wchar_t));
  if (!block.Address()) return lines;
  const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    LVITEMW item{};
    item.iSubItem = 0;
    item.cchTextMax = static_cast<int>(kTextChars);
    item.pszText = reinterpret_cast<wchar_t*>(block.Address() + sizeof(LVITEMW));
    ::WriteProcessMemory(process_.Get(), block.Address(), &item, sizeof item, nullptr);
    const auto length = static_cast<size_t>(::SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(block.Address())));
    std::wstring text(std::min(length, kTextChars - 1), L'\0');
    ::ReadProcessMemory(process_.Get(), block.Address() + sizeof(LVITEMW), text.data(), text.size() * sizeof(wchar_t),
                        nullptr);
    lines.push_back(std::move(text));
  }
  return lines;
}

int ProgramDriver::WaitForExit(DWORD timeoutMs) {
  if (::WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  ::GetExitCodeProcess(process_.Get(), &code);
  return static_cast<int>(code);
}
