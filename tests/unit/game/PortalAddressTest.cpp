// The login page address and its replacement on the command line.
#include <gtest/gtest.h>

#include "app/PortalAddress.h"

namespace {

TEST(PortalAddress, DefaultIsThePortalsLoginPage) {
  EXPECT_EQ(DefaultLoginPageUrl(), std::wstring(L"http://") + kPortalHost + L"/v6/weiduan?gc=qth");
}

TEST(PortalAddress, CommandLineReplacesTheWholeAddressOrIsRefused) {
  struct Case {
    const wchar_t* commandLine;
    PortalArgument result;
    const wchar_t* url;
  } cases[] = {
      {L"", PortalArgument::kNone, L""},
      {L"--other x", PortalArgument::kNone, L""},
      {L"--portal http://127.0.0.1:8123/v6/weiduan?gc=qth", PortalArgument::kAccepted,
       L"http://127.0.0.1:8123/v6/weiduan?gc=qth"},
      {L"--portal=https://staging.example/v6/weiduan?gc=qth", PortalArgument::kAccepted,
       L"https://staging.example/v6/weiduan?gc=qth"},
      {L"\"--portal\" \"HTTP://Host/x y\"", PortalArgument::kRefused, L""},  // a space is not an address
      {L"--portal ftp://host/file", PortalArgument::kRefused, L""},
      {L"--portal file:///C:/x.html", PortalArgument::kRefused, L""},
      {L"--portal javascript:alert(1)", PortalArgument::kRefused, L""},
      {L"--portal http://", PortalArgument::kRefused, L""},
      {L"--portal", PortalArgument::kRefused, L""},
      {L"--portal not-an-address", PortalArgument::kRefused, L""},
  };
  for (const Case& c : cases) {
    std::wstring url, error;
    EXPECT_EQ(ParsePortalArgument(c.commandLine, &url, &error), c.result) << c.commandLine;
    EXPECT_EQ(url, c.url) << c.commandLine;
    EXPECT_EQ(error.empty(), c.result != PortalArgument::kRefused) << c.commandLine;
  }
}

}  // namespace
