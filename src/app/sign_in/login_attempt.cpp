#include "app/sign_in/login_attempt.h"

#include <utility>

#include "account/account_messages.h"
#include "account/secure_wipe.h"

LoginAttempt::LoginAttempt(HWND dialog, std::wstring userName, const std::wstring& password, std::wstring machineId,
                           int32_t softType, std::unique_ptr<ServiceTransport> transport)
    : userName_(std::move(userName)),
      password_(password),  // copied, not moved: a moved-from short string keeps its characters
      machineId_(std::move(machineId)),
      softType_(softType),
      transport_(std::move(transport)),
      dialog_(dialog) {}

LoginAttempt::~LoginAttempt() { SecureWipe(password_); }  // an attempt that never ran

bool LoginAttempt::Start(const std::shared_ptr<LoginAttempt>& attempt) {
  auto* share = new (std::nothrow) std::shared_ptr<LoginAttempt>(attempt);
  if (!share) return false;
  HANDLE thread = ::CreateThread(nullptr, 0, &LoginAttempt::LoginThread, share, 0, nullptr);
  if (!thread) {
    delete share;
    return false;
  }
  ::CloseHandle(thread);  // never waited for: the thread shares what it uses
  return true;
}

void LoginAttempt::Detach() {
  std::lock_guard<std::mutex> lock(mutex_);
  dialog_ = nullptr;
  result_.reset();
}

std::optional<LoginResult> LoginAttempt::TakeResult() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(result_, std::nullopt);
}

DWORD WINAPI LoginAttempt::LoginThread(void* parameter) noexcept {
  std::unique_ptr<std::shared_ptr<LoginAttempt>> share(static_cast<std::shared_ptr<LoginAttempt>*>(parameter));
  try {
    (*share)->Run();
  } catch (...) {
    // Nothing may leave a thread entry; a failed report only leaves the button disabled.
  }
  return 0;
}

void LoginAttempt::Run() {
  LoginResult result;  // kPostSendFailed unless the request gets further
  try {
    result = LoginRequest(userName_, password_, machineId_, softType_, *transport_);
  } catch (...) {
    result = LoginResult{};
  }
  SecureWipe(password_);
  transport_.reset();

  const int code = result.code;
  const bool parsed = code == 0 || code == 1;
  const std::wstring text = parsed ? result.info : std::wstring();  // valid while the handler runs
  if (parsed) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (dialog_) result_ = std::move(result);
  }
  Report(static_cast<WPARAM>(static_cast<INT_PTR>(code)), parsed ? text.c_str() : nullptr);
  Report(kLoginFinished, nullptr);
}

void LoginAttempt::Report(WPARAM code, const wchar_t* text) {
  HWND dialog = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dialog = dialog_;
  }
  // Not sent under the lock: the window thread takes it at WM_DESTROY and must never wait
  // for this thread. A dialog destroyed between the check and the send makes the send
  // fail (the window is gone) or reach a dialog object that has already detached, which
  // drops it.
  if (dialog) ::SendMessageW(dialog, WM_LOGINRESULT, code, reinterpret_cast<LPARAM>(text));
}
