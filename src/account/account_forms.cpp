#include "account/account_forms.h"

#include "account/secure_wipe.h"

namespace {

// Builds a form from alternating literal and value pieces.
class FormWriter {
 public:
  // Reserving the whole length up front means no reallocation leaves a stray copy of
  // the password in freed memory.
  explicit FormWriter(size_t capacity = kMaxFormLength + 1) { form_.reserve(capacity); }
  FormWriter& Text(std::wstring_view text) {
    form_.append(text);
    return *this;
  }
  FormWriter& Number(int32_t value) { return Text(std::to_wstring(value)); }
  // Password bytes are plain ASCII (Base64), so they widen one to one.
  FormWriter& Ascii(std::string_view text) {
    for (char c : text) form_ += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return *this;
  }
  std::optional<std::wstring> Finish(bool secret) {
    if (form_.size() <= kMaxFormLength) return std::move(form_);
    if (secret) SecureWipe(form_);
    return std::nullopt;
  }

 private:
  std::wstring form_;
};

}  // namespace

std::optional<std::wstring> BuildLoginForm(std::wstring_view userName,
                                           std::string_view encodedPassword,
                                           std::wstring_view machineId, int32_t softType) {
  // 64 covers the template's own text and the number.
  return FormWriter(64 + userName.size() + encodedPassword.size() + machineId.size())
      .Text(L"username=").Text(userName)
      .Text(L"&pwd=").Ascii(encodedPassword)
      .Text(L"&id=").Text(machineId)
      .Text(L"&softtype=").Number(softType)
      .Text(L"&ver=").Text(kProgramVersion)
      .Finish(true);
}

namespace {

// The fields the service-information and reminder forms begin with.
void WriteAccountFields(FormWriter& writer, std::wstring_view userName, std::wstring_view machineId,
                        int32_t softType) {
  writer.Text(L"username=").Text(userName).Text(L"&id=").Text(machineId);
  writer.Text(L"&softtype=").Number(softType).Text(L"&ver=").Text(kProgramVersion);
}

}  // namespace

std::optional<std::wstring> BuildServiceInfoForm(std::wstring_view userName,
                                                 std::wstring_view machineId, int32_t softType) {
  FormWriter writer;
  WriteAccountFields(writer, userName, machineId, softType);
  return writer.Finish(false);
}

std::optional<std::wstring> BuildReminderForm(std::wstring_view userName,
                                              std::wstring_view machineId, int32_t softType,
                                              int32_t templateId, int32_t statusCode,
                                              std::wstring_view siteAddress) {
  FormWriter writer;
  WriteAccountFields(writer, userName, machineId, softType);
  return writer
      .Text(L"&tpl=").Number(templateId)
      .Text(L"&code=").Number(statusCode)
      .Text(L"&url=").Text(siteAddress)
      .Finish(false);
}
