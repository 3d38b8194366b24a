// Put in place of Kestrola.exe when a run must show whether the add-on
// started its player, without playing anything: it leaves a file
// "kestrola-started.txt" (its command line) in its current folder and ends.
#include <windows.h>

#include <stdio.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    FILE *marker = fopen("kestrola-started.txt", "ab");
    if (marker == nullptr) return 1;
    fprintf(marker, "%s\n", GetCommandLineA());
    (void)commandLine;
    fclose(marker);
    return 0;
}
