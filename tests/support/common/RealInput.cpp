#include "common/RealInput.h"

#include <objbase.h>

#include <cstdio>
#include <vector>

#include "common/TestSupport.h"

namespace testing_support {

bool OnWine() {
  static const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

std::string UnixPath(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s.push_back(c == L'\\' ? '/' : static_cast<char>(c));
  if (s.size() >= 2 && (s[0] == 'Z' || s[0] == 'z') && s[1] == ':') s = s.substr(2);
  return s;
}

int RunUnix(const std::string& command, DWORD timeoutMs) {
  if (!OnWine()) return -1;
  // Wine starts Unix programs but cannot wait for them: the command leaves its status in a
  // marker file that we poll.
  // /tmp is shared by every Wine prefix on the machine, and Wine's process ids repeat from one
  // prefix to the next: a GUID keeps another process's marker from answering for this command.
  GUID id{};
  ::CoCreateGuid(&id);
  char marker[MAX_PATH];
  std::snprintf(marker, sizeof marker, "/tmp/vellmar-run-%08lx%04x%04x%02x%02x%02x%02x%02x%02x%02x%02x",
                id.Data1, id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4],
                id.Data4[5], id.Data4[6], id.Data4[7]);
  // Wine splits the command line by Windows rules: only double quotes group (so the command
  // itself must not contain any).
  std::string wrapped = "/bin/sh -c \"" + command + "; echo $? > " + marker + ".tmp; mv " + marker + ".tmp " + marker + "\"";
  std::wstring cmd(wrapped.begin(), wrapped.end());
  STARTUPINFOW si{sizeof(si)};
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  std::wstring winMarker = L"Z:";
  for (const char* p = marker; *p; ++p) winMarker.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(*p));
  int status = -1;
  PumpUntil(
      [&] {
        FILE* f = _wfopen(winMarker.c_str(), L"r");
        if (!f) return false;
        if (std::fscanf(f, "%d", &status) != 1) status = -1;
        std::fclose(f);
        return true;
      },
      timeoutMs);
  ::DeleteFileW(winMarker.c_str());
  return status;
}

namespace {

// No --sync on mousemove: it waits for the pointer to move and hangs when it is already there.
bool Xdotool(const std::string& args) { return RunUnix("xdotool " + args) == 0; }

void SendMouse(DWORD flags, int x = 0, int y = 0) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  if (flags & MOUSEEVENTF_ABSOLUTE) {
    in.mi.dx = x * 65535 / (::GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = y * 65535 / (::GetSystemMetrics(SM_CYSCREEN) - 1);
  }
  ::SendInput(1, &in, sizeof(in));
}

DWORD DownFlag(int button) {
  return button == 3 ? MOUSEEVENTF_RIGHTDOWN : button == 2 ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_LEFTDOWN;
}
DWORD UpFlag(int button) {
  return button == 3 ? MOUSEEVENTF_RIGHTUP : button == 2 ? MOUSEEVENTF_MIDDLEUP : MOUSEEVENTF_LEFTUP;
}

}  // namespace

bool MoveMouse(int x, int y) {
  if (OnWine()) return Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y));
  SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
  return true;
}

bool Click(int x, int y, int button) {
  if (OnWine()) {
    return Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click " +
                   std::to_string(button));
  }
  SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
  SendMouse(DownFlag(button));
  SendMouse(UpFlag(button));
  return true;
}

bool DoubleClick(int x, int y, int button) {
  if (OnWine()) {
    return Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click --repeat 2 --delay 80 " +
                   std::to_string(button));
  }
  SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
  for (int i = 0; i < 2; ++i) {
    SendMouse(DownFlag(button));
    SendMouse(UpFlag(button));
  }
  return true;
}

bool Drag(int fromX, int fromY, int toX, int toY) {
  if (OnWine()) {
    // Move in steps, as a hand would: the system's drag loop follows each motion.
    std::string cmd = "xdotool mousemove " + std::to_string(fromX) + " " + std::to_string(fromY) +
                      " sleep 0.2 mousedown 1 sleep 0.2";
    for (int i = 1; i <= 5; ++i) {
      cmd += " mousemove " + std::to_string(fromX + (toX - fromX) * i / 5) + " " +
             std::to_string(fromY + (toY - fromY) * i / 5) + " sleep 0.1";
    }
    cmd += " mouseup 1";
    return RunUnix(cmd) == 0;
  }
  SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, fromX, fromY);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  for (int i = 1; i <= 5; ++i) {
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, fromX + (toX - fromX) * i / 5, fromY + (toY - fromY) * i / 5);
    Pump(50);
  }
  SendMouse(MOUSEEVENTF_LEFTUP);
  return true;
}

bool PressKey(const std::string& key) {
  if (OnWine()) return Xdotool("key " + key);
  return false;
}

bool Screenshot(const std::wstring& pngPath) {
  if (!OnWine()) return false;
  return RunUnix("import -window root " + UnixPath(pngPath), 30000) == 0;
}

std::wstring ScreenshotPath(const std::wstring& name) {
  wchar_t dir[MAX_PATH] = {};
  DWORD n = ::GetEnvironmentVariableW(L"VELLMAR_SCREENSHOTS", dir, MAX_PATH);
  std::wstring base = (n > 0 && n < MAX_PATH) ? std::wstring(dir, n) : ModuleDir();
  ::CreateDirectoryW(base.c_str(), nullptr);
  return base + L"\\" + name;
}

}  // namespace testing_support
