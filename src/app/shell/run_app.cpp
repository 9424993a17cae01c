#include "app/shell/run_app.h"

#include "win/app_module.h"
#include "app/main_window/main_dlg.h"
#include "win/message_loop.h"

int RunMainWindow(int showCommand) {
  CMessageLoop loop;
  _Module.AddMessageLoop(&loop);
  int exitCode = 0;
  {
    CMainDlg mainWindow;
    if (HWND window = mainWindow.Create(nullptr)) {
      ::ShowWindow(window, showCommand);
      exitCode = loop.Run();
    }
    // The window object goes here: the tray icon is removed and the menu destroyed.
  }
  _Module.RemoveMessageLoop();
  return exitCode;
}
