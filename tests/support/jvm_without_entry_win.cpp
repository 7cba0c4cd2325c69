// Stands in for a damaged jvm.dll in tests: a library that loads but has no
// JNI_CreateJavaVM export.
#include "sys/win.h"

extern "C" __declspec(dllexport) int VexloNotAJvm() { return 0; }
