/* A stand-in for a Windows system tool (netsh.exe, icacls.exe) in the
 * installer check: it appends its own command line, in UTF-8, as one line
 * to the file that MEMBER_RECORDED_COMMANDS names, and succeeds. Wine's own
 * tools have no firewall and no real access rights to look at. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main(void)
{
    const char* file = getenv("MEMBER_RECORDED_COMMANDS");
    if (file == NULL) {
        return 1;
    }
    const wchar_t* line = GetCommandLineW();
    int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, NULL, 0, NULL, NULL);
    char* text = malloc(size > 0 ? (size_t)size : 1);
    if (text == NULL || WideCharToMultiByte(CP_UTF8, 0, line, -1, text, size, NULL, NULL) == 0) {
        return 1;
    }
    FILE* out = fopen(file, "ab");
    if (out == NULL) {
        return 1;
    }
    fprintf(out, "%s\n", text);
    fclose(out);
    free(text);
    return 0;
}
