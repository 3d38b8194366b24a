// hold_module.exe PATH: maps PATH as a program image, as the simulator maps
// DrovanaX.dll, says "held" on its standard output, and keeps it until ended
// (at most a minute).
#include <windows.h>

#include <stdio.h>

int main(int argc, char **argv) {
    if (argc != 2) return 2;
    if (LoadLibraryExA(argv[1], nullptr, DONT_RESOLVE_DLL_REFERENCES) == nullptr) return 1;
    printf("held\n");
    fflush(stdout);
    Sleep(60000);
    return 0;
}
