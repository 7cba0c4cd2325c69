// The baseline of the launch benchmark: the least a program must do to run
// Java's main in its own process. It loads the given jvm.dll, creates the JVM
// with one option, finds the launcher class and calls its main with an empty
// String[]. Usage: bare_jvm_loader.exe <path of jvm.dll>
//
// Built a second time with VEXLO_BARE_WITH_ADVAPI32 as a loader that also
// imports ADVAPI32, as the launcher must (services, registry): that import
// alone loads sechost and ucrtbase, which tells the launcher's own work apart
// from the price of its imports.
#include <jni.h>

#include "sys/win.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
#ifdef VEXLO_BARE_WITH_ADVAPI32
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key) == ERROR_SUCCESS) RegCloseKey(key);
#endif
  HMODULE library = LoadLibraryA(argv[1]);
  if (library == nullptr) return 3;
  using CreateJavaVmFunction = jint(JNICALL*)(JavaVM**, void**, void*);
  auto create = reinterpret_cast<CreateJavaVmFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, "JNI_CreateJavaVM")));
  if (create == nullptr) return 4;
  char class_path[] = "-Djava.class.path=vexlo-runtime.jar";
  JavaVMOption option = {class_path, nullptr};
  JavaVMInitArgs arguments = {JNI_VERSION_1_2, 1, &option, JNI_TRUE};
  JavaVM* vm = nullptr;
  JNIEnv* env = nullptr;
  if (create(&vm, reinterpret_cast<void**>(&env), &arguments) != 0) return 5;
  jclass launcher = env->FindClass("com/vexlo/runtime/WinLauncher");
  jmethodID main = launcher ? env->GetStaticMethodID(launcher, "main", "([Ljava/lang/String;)V") : nullptr;
  jclass string_class = env->FindClass("java/lang/String");
  if (main == nullptr || string_class == nullptr) return 6;
  env->CallStaticVoidMethod(launcher, main, env->NewObjectArray(0, string_class, nullptr));
  vm->DestroyJavaVM();
  return 0;
}
