// Holds the Wine test prefix's desktop on the X display (see cmake/wine-prefix.sh):
// desktop_keeper.exe <file> writes the file once it has a window, or ends with 1.
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 2 || !CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr)) return 1;
  if (FILE* ready = fopen(argv[1], "wb")) fclose(ready);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}
