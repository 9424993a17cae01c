#include "account/login_request.h"

#include "account/account_forms.h"
#include "account/password.h"
#include "account/record_text.h"
#include "account/reply_document.h"
#include "account/secure_wipe.h"
#include "storage/settings_fields.h"

LoginResult LoginRequest(const std::wstring& userName, const std::wstring& password,
                         const std::wstring& machineId, int32_t softType,
                         ServiceTransport& transport) {
  LoginResult result;
  // A name the record cannot hold would be stored cut and later sent wrong: refused.
  if (userName.size() > kMaxUserNameLength) {
    result.code = kPostRequestFailed;
    return result;
  }
  std::string encoded = EncodePassword(password);
  std::optional<std::wstring> form = BuildLoginForm(userName, encoded, machineId, softType);
  SecureWipe(encoded);
  if (!form) {
    result.code = kPostRequestFailed;
    return result;
  }
  ServiceReply reply = transport.Post(kLoginPath, *form);
  SecureWipe(*form);
  if (reply.code != kPostOk) {
    result.code = reply.code;
    return result;
  }

  ReplyDocument document;
  if (!document.Parse(reply.body.Text())) {
    result.code = kPostBadStatus;
    return result;
  }
  const bool accepted = document.GetInt("status", 0) == 1;
  result.code = accepted ? 1 : 0;
  result.info = accepted ? kLoginAccepted : document.GetText("info", L"");
  result.serviceTime = document.GetInt("time", 0);
  result.expireTime = document.GetInt("expire", 0);
  result.userName = userName;
  result.machineId = machineId;
  return result;
}

void ApplyLoginResult(const LoginResult& result, SettingsRecord& record,
                      std::atomic<bool>& signedIn) {
  if (result.code != 0 && result.code != 1) return;
  const bool accepted = result.code == 1;
  record.softType = 2;
  if (accepted) {
    record.serviceTime = result.serviceTime;
    record.expireTime = result.expireTime;
  } else {
    record.expireTime = 0;
  }
  CopyToField(record.machineId, result.machineId, FieldFit::kTruncate);
  CopyToField(record.userName, result.userName, FieldFit::kTruncate);
  record.loginFailed = accepted ? 0 : 1;
  signedIn = accepted;
}
