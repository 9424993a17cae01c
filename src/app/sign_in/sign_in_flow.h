// The sign-in as the main window runs it: the login dialog on a copy of the settings
// record, and the record to keep once the dialog has closed.
#pragma once

#include <windows.h>

#include <string>

#include "account/service_post.h"
#include "storage/settings_record.h"

// Runs the sign-in dialog modally, owned by `owner` (the active window, which is the main
// window when its "∴" button is pressed; it also receives WM_ACCOUNTSTATE), on a copy of
// `current`. Returns `current` with everything but the first three monitoring settings
// taken from the dialog's copy (MergeSignInRecord). Does not write the settings file.
SettingsRecord RunSignInDialog(HWND owner, const SettingsRecord& current, const std::wstring& machineId,
                               const ServiceEndpoint& endpoint = {});
