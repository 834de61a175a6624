// portal.exe: serves the LocalPortal content standalone, for demos.
//   portal.exe [--port N]
// Prints "PORT N" and the login page address, then every request as it
// arrives, and runs until killed.
#include "LocalPortal.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    unsigned short port = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            long p = std::strtol(argv[++i], nullptr, 10);
            if (p < 0 || p > 65535) {
                std::fprintf(stderr, "bad port\n");
                return 2;
            }
            port = static_cast<unsigned short>(p);
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("usage: portal.exe [--port N]\n");
            return 0;
        } else {
            std::fprintf(stderr, "unknown argument: %s\n", argv[i]);
            return 2;
        }
    }
    portal::LocalPortal server;
    if (!server.Start(port)) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%u\n", static_cast<unsigned>(port));
        return 1;
    }
    std::printf("PORT %u\n", static_cast<unsigned>(server.Port()));
    std::printf("login page: %s\n", server.Url(portal::kLoginPath).c_str());
    std::fflush(stdout);
    size_t shown = 0;
    for (;;) {
        Sleep(200);
        std::vector<std::string> reqs = server.Requests();
        for (; shown < reqs.size(); ++shown) std::printf("%s\n", reqs[shown].c_str());
        std::fflush(stdout);
    }
}
