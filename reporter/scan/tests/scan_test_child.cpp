// A program for the command runner's tests under Wine.
//   scan_test_child exit <n>          ends with exit code n (may be negative)
//   scan_test_child sleep <ms>        ends with 0 after ms milliseconds
//   scan_test_child hang <pid file>   writes its process id, then never ends
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "exit") == 0)
        return static_cast<int>(std::strtol(argv[2], nullptr, 10));
    if (argc == 3 && std::strcmp(argv[1], "sleep") == 0) {
        Sleep(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "hang") == 0) {
        if (std::FILE* f = std::fopen(argv[2], "w")) {
            std::fprintf(f, "%lu", GetCurrentProcessId());
            std::fclose(f);
        }
        for (;;)
            Sleep(1000);
    }
    return 100;
}
