#include "app/sign_in/sign_in_flow.h"

#include "app/sign_in/login_dlg.h"
#include "storage/settings_file.h"

SettingsRecord RunSignInDialog(HWND owner, const SettingsRecord& current, const std::wstring& machineId,
                               const ServiceEndpoint& endpoint) {
  CLoginDlg dialog(machineId, endpoint);
  dialog.SetRecord(current);
  dialog.DoModal(owner);  // always 2; a dialog that could not be made leaves the copy as it was
  return MergeSignInRecord(current, dialog.Record());
}
