#pragma once
#include <string>

// The login page: built in, or replaced as a whole with "--portal <address>" on the command
// line (an operator's staging portal, the tests' local one).
extern const wchar_t kPortalHost[];

std::wstring DefaultLoginPageUrl();

enum class PortalArgument { kNone, kAccepted, kRefused };

// Reads "--portal <address>" (or "--portal=<address>") from a command line. Only an http or
// https address with a host is accepted; anything else is refused, with the reason in *error.
PortalArgument ParsePortalArgument(const std::wstring& commandLine, std::wstring* url, std::wstring* error);
