#include "app/PortalAddress.h"

#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <memory>
#include <vector>

const wchar_t kPortalHost[] = L"login.vellmar.net";

std::wstring DefaultLoginPageUrl() {
  return std::wstring(L"http://") + kPortalHost + L"/v6/weiduan?gc=qth";
}

namespace {

std::vector<std::wstring> SplitArguments(const std::wstring& commandLine) {
  std::vector<std::wstring> out;
  if (commandLine.empty()) return out;
  int argc = 0;
  // CommandLineToArgvW takes its first word as the program name, quoted or not: give it one.
  std::wstring line = L"Vellmar.exe " + commandLine;
  LPWSTR* argv = ::CommandLineToArgvW(line.c_str(), &argc);
  if (!argv) return out;
  for (int i = 1; i < argc; ++i) out.emplace_back(argv[i]);
  ::LocalFree(argv);
  return out;
}

bool IsWebAddress(const std::wstring& url) {
  if (url.empty() || url.size() > INTERNET_MAX_URL_LENGTH) return false;
  for (wchar_t c : url) {
    if (c <= 0x20 || c == 0x7F) return false;  // no blanks or control characters in an address
  }
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = 1;
  parts.dwSchemeLength = 1;
  if (!::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
  return (parts.nScheme == INTERNET_SCHEME_HTTP || parts.nScheme == INTERNET_SCHEME_HTTPS) &&
         parts.dwHostNameLength > 0;
}

}  // namespace

PortalArgument ParsePortalArgument(const std::wstring& commandLine, std::wstring* url, std::wstring* error) {
  const std::vector<std::wstring> args = SplitArguments(commandLine);
  const std::wstring flag = L"--portal";
  for (size_t i = 0; i < args.size(); ++i) {
    std::wstring value;
    if (args[i] == flag) {
      if (i + 1 >= args.size()) {
        if (error) *error = L"--portal needs an address.";
        return PortalArgument::kRefused;
      }
      value = args[i + 1];
    } else if (args[i].compare(0, flag.size() + 1, flag + L"=") == 0) {
      value = args[i].substr(flag.size() + 1);
    } else {
      continue;
    }
    if (!IsWebAddress(value)) {
      if (error) *error = L"The portal address must be an http:// or https:// address:\n" + value;
      return PortalArgument::kRefused;
    }
    if (url) *url = value;
    return PortalArgument::kAccepted;
  }
  return PortalArgument::kNone;
}
