#include "common/TestSupport.h"

namespace testing_support {

std::wstring ModuleDir() {
  wchar_t path[MAX_PATH * 4];
  DWORD n = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  std::wstring s(path, n);
  return s.substr(0, s.find_last_of(L"\\/"));
}

namespace {
PreTranslateFn g_preTranslate = nullptr;
}

void SetPumpPreTranslate(PreTranslateFn fn) { g_preTranslate = fn; }

bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs) {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that waits for it
        return pred();
      }
      if (g_preTranslate && g_preTranslate(&msg)) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (pred()) return true;
    if (::GetTickCount64() >= end) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void Pump(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

namespace {
struct EnumContext {
  DWORD pid;
  const wchar_t* title;
  std::vector<HWND> out;
};

BOOL CALLBACK CollectWindow(HWND h, LPARAM lp) {
  auto* c = reinterpret_cast<EnumContext*>(lp);
  DWORD p = 0;
  ::GetWindowThreadProcessId(h, &p);
  if (p != c->pid) return TRUE;
  if (c->title) {
    wchar_t buf[256] = {};
    ::GetWindowTextW(h, buf, 256);
    if (wcscmp(buf, c->title) != 0) return TRUE;
  }
  c->out.push_back(h);
  return TRUE;
}
}  // namespace

std::vector<HWND> TopLevelWindows(DWORD pid, const wchar_t* title) {
  EnumContext ctx{pid, title, {}};
  ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&ctx));
  return ctx.out;
}

Process::~Process() {
  Kill();
}

bool Process::Start(const std::wstring& exe, const std::wstring& args, const std::wstring& extraEnv) {
  std::wstring cmd = L"\"" + exe + L"\" " + args;
  STARTUPINFOW si{sizeof(si)};
  std::vector<wchar_t> env;
  if (!extraEnv.empty()) {
    // The current environment plus NAME=value pairs separated by '\n'.
    wchar_t* block = ::GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) env.insert(env.end(), p, p + wcslen(p) + 1);
    ::FreeEnvironmentStringsW(block);
    size_t start = 0;
    while (start <= extraEnv.size()) {
      size_t nl = extraEnv.find(L'\n', start);
      std::wstring item = extraEnv.substr(start, nl == std::wstring::npos ? std::wstring::npos : nl - start);
      if (!item.empty()) env.insert(env.end(), item.c_str(), item.c_str() + item.size() + 1);
      if (nl == std::wstring::npos) break;
      start = nl + 1;
    }
    env.push_back(L'\0');
  }
  return ::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE,
                          extraEnv.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT,
                          env.empty() ? nullptr : env.data(), nullptr, &si, &m_pi) != FALSE;
}

bool Process::Wait(DWORD timeoutMs, DWORD* exitCode) {
  if (!m_pi.hProcess) return true;
  if (::WaitForSingleObject(m_pi.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode) ::GetExitCodeProcess(m_pi.hProcess, exitCode);
  return true;
}

void Process::Kill() {
  if (m_pi.hProcess) {
    if (::WaitForSingleObject(m_pi.hProcess, 0) != WAIT_OBJECT_0) {
      ::TerminateProcess(m_pi.hProcess, 99);
      ::WaitForSingleObject(m_pi.hProcess, 5000);
    }
    ::CloseHandle(m_pi.hProcess);
    ::CloseHandle(m_pi.hThread);
    m_pi = {};
  }
}

}  // namespace testing_support
