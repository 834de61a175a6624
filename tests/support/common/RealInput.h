#pragma once
// Real input and screenshots for end-to-end tests. Under Wine these go through the X server
// (xdotool, ImageMagick's import), so the launcher sees exactly what a player's mouse and
// keyboard produce; on Windows the same calls use SendInput.
#include <windows.h>
#include <string>

namespace testing_support {

bool OnWine();

// Runs a shell command on the Unix side and waits for it (pumping this thread's messages).
// Returns its exit status, or -1 when it could not run or did not finish in time.
int RunUnix(const std::string& command, DWORD timeoutMs = 15000);

// Screen coordinates. Buttons: 1 left, 2 middle, 3 right.
bool MoveMouse(int x, int y);
bool Click(int x, int y, int button = 1);
bool DoubleClick(int x, int y, int button = 1);
bool Drag(int fromX, int fromY, int toX, int toY);
// Key names as xdotool takes them: "Return", "Escape", "F10", "alt+F4", "Tab".
bool PressKey(const std::string& key);

// The whole screen as a PNG file (a Windows path). Under Wine only.
bool Screenshot(const std::wstring& pngPath);

// Where tests put screenshots: the folder named by VELLMAR_SCREENSHOTS, else the module's folder.
std::wstring ScreenshotPath(const std::wstring& name);

// Linux path of a Windows path on drive Z: ("Z:\tmp\x" -> "/tmp/x"); others unchanged.
std::string UnixPath(const std::wstring& windowsPath);

}  // namespace testing_support
