#pragma once
// Helpers for the Windows test programs.
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// The folder of the running test program (Vellmar.exe and the test DLLs lie beside it).
std::wstring ModuleDir();

// What the test's pumps offer each message before dispatch, as the program's own loops do
// (for instance the framework's pre-translation, so that dialog keys work while a test waits
// inside a modal loop). Null: nothing.
using PreTranslateFn = bool (*)(MSG*);
void SetPumpPreTranslate(PreTranslateFn fn);

// Pumps this thread's messages until pred() holds or timeoutMs passes. True: it held.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs);
// Pumps for a while (lets posted work run).
void Pump(DWORD ms);

// A window's rectangle on the screen.
inline RECT WindowRect(HWND hwnd) {
  RECT rc{};
  ::GetWindowRect(hwnd, &rc);
  return rc;
}

inline bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// "(left,top)-(right,bottom)", for failure messages.
inline std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

// Top-level windows of a process (visible or not), optionally only those with a given title.
std::vector<HWND> TopLevelWindows(DWORD pid, const wchar_t* title = nullptr);

// A started process with its pipes closed; the destructor ends it if it still runs.
class Process {
public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  bool Start(const std::wstring& exe, const std::wstring& args, const std::wstring& extraEnv = L"");
  DWORD Pid() const { return m_pi.dwProcessId; }
  HANDLE Handle() const { return m_pi.hProcess; }
  // True when it ended within timeoutMs; exitCode then holds its exit code.
  bool Wait(DWORD timeoutMs, DWORD* exitCode = nullptr);
  void Kill();

private:
  PROCESS_INFORMATION m_pi{};
};

}  // namespace testing_support
