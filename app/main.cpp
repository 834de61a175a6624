#include <windows.h>

#include "app/LoginApp.h"

namespace {
CLoginApp theApp;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  return theApp.Run(instance, commandLine);
}
