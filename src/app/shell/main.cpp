// The program's entry point: COM, the common controls, the module, then the run step.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "win/app_module.h"
#include "app/shell/run_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  ::CoInitialize(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  _Module.Init(instance);
  const int exitCode = RunMainWindow(showCommand);
  _Module.Term();
  ::CoUninitialize();
  return exitCode;
}
