// The JNI function tables of the jvm.dll double (see jvm_double_win.cpp):
// only the functions a launcher uses; every other slot records
// "unimplemented JNI function" and ends the process with exit code 97.
#include <string>

#include "support/jvm_double_win.h"

namespace jvm_double {
namespace {

bool Listed(const std::vector<std::string>& names, const char* name) {
  for (const std::string& listed : names) {
    if (listed == name) return true;
  }
  return false;
}

void JNICALL Unimplemented() {
  Record("unimplemented JNI function");
  ExitProcess(97);
}

jint JNICALL GetVersion(JNIEnv*) { return JNI_VERSION_1_8; }

jclass JNICALL FindClass(JNIEnv*, const char* name) {
  Record(std::string("FindClass ") + name);
  if (Listed(g_settings.missing_classes, name)) {
    Throw("java/lang/NoClassDefFoundError");
    return nullptr;
  }
  Object* type = new Object();
  type->name = name;
  return reinterpret_cast<jclass>(type);
}

jmethodID JNICALL GetStaticMethodID(JNIEnv*, jclass type, const char* name, const char* signature) {
  Record(std::string("GetStaticMethodID ") + name + " " + signature);
  if (Listed(g_settings.missing_methods, name)) {
    Throw("java/lang/NoSuchMethodError");
    return nullptr;
  }
  return reinterpret_cast<jmethodID>(new Method{reinterpret_cast<Object*>(type)->name, name, signature});
}

void JNICALL CallStaticVoidMethodV(JNIEnv*, jclass, jmethodID method, va_list arguments) {
  Record("call " + reinterpret_cast<Method*>(method)->name);
  RunMain(*reinterpret_cast<Method*>(method), va_arg(arguments, jobjectArray));
}

void JNICALL CallStaticVoidMethod(JNIEnv* env, jclass type, jmethodID method, ...) {
  va_list arguments;
  va_start(arguments, method);
  CallStaticVoidMethodV(env, type, method, arguments);
  va_end(arguments);
}

void JNICALL CallStaticVoidMethodA(JNIEnv*, jclass, jmethodID method, const jvalue* arguments) {
  Record("call " + reinterpret_cast<Method*>(method)->name);
  RunMain(*reinterpret_cast<Method*>(method), static_cast<jobjectArray>(arguments[0].l));
}

jboolean CallFirstRun(jmethodID method) {
  Record("call " + reinterpret_cast<Method*>(method)->name);
  if (g_settings.first_run_throws) Throw("java/lang/IllegalStateException");
  return g_settings.first_run_result ? JNI_TRUE : JNI_FALSE;
}

jboolean JNICALL CallStaticBooleanMethodV(JNIEnv*, jclass, jmethodID method, va_list) {
  return CallFirstRun(method);
}

jboolean JNICALL CallStaticBooleanMethod(JNIEnv*, jclass, jmethodID method, ...) { return CallFirstRun(method); }

jboolean JNICALL CallStaticBooleanMethodA(JNIEnv*, jclass, jmethodID method, const jvalue*) {
  return CallFirstRun(method);
}

jthrowable JNICALL ExceptionOccurred(JNIEnv*) { return reinterpret_cast<jthrowable>(g_pending); }

jboolean JNICALL ExceptionCheck(JNIEnv*) { return g_pending != nullptr ? JNI_TRUE : JNI_FALSE; }

void JNICALL ExceptionDescribe(JNIEnv*) {
  Record("ExceptionDescribe");
  if (g_pending == nullptr) return;
  const std::string text = "Exception in thread \"main\" " + g_pending->name + ": from the jvm double\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  g_pending = nullptr;  // as the JVM does: describing clears it
}

void JNICALL ExceptionClear(JNIEnv*) { g_pending = nullptr; }

jobjectArray JNICALL NewObjectArray(JNIEnv*, jsize length, jclass, jobject initial) {
  if (g_settings.fail_object_array) {
    Throw("java/lang/OutOfMemoryError");
    return nullptr;
  }
  Object* array = new Object();
  array->elements.assign(length, reinterpret_cast<Object*>(initial));
  return reinterpret_cast<jobjectArray>(array);
}

jstring JNICALL NewString(JNIEnv*, const jchar* characters, jsize length) {
  if (g_strings_made++ == g_settings.fail_string) {
    Throw("java/lang/OutOfMemoryError");
    return nullptr;
  }
  Object* text = new Object();
  text->name = "java/lang/String";
  text->text.assign(reinterpret_cast<const wchar_t*>(characters), length);
  return reinterpret_cast<jstring>(text);
}

void JNICALL SetObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
  Object* target = reinterpret_cast<Object*>(array);
  if (index >= 0 && static_cast<size_t>(index) < target->elements.size()) {
    target->elements[index] = reinterpret_cast<Object*>(value);
  } else {
    Throw("java/lang/ArrayIndexOutOfBoundsException");
  }
}

jsize JNICALL GetArrayLength(JNIEnv*, jarray array) {
  return static_cast<jsize>(reinterpret_cast<Object*>(array)->elements.size());
}

// Local references are pointers the double never frees.
void JNICALL DeleteLocalRef(JNIEnv*, jobject) {}

// ---- JavaVM functions -------------------------------------------------------

JNIEnv g_env;
JavaVM g_vm;

jint JNICALL DestroyJavaVM(JavaVM*) {
  Record("DestroyJavaVM");
  return JNI_OK;
}

jint JNICALL GetEnv(JavaVM*, void** env, jint) {
  *env = &g_env;
  return JNI_OK;
}

jint JNICALL AttachCurrentThread(JavaVM*, void** env, void*) {
  *env = &g_env;
  return JNI_OK;
}

jint JNICALL DetachCurrentThread(JavaVM*) { return JNI_OK; }

template <typename Table>
void FillWithUnimplemented(Table* table) {
  void** slots = reinterpret_cast<void**>(table);
  for (size_t i = 0; i < sizeof(Table) / sizeof(void*); ++i) slots[i] = reinterpret_cast<void*>(&Unimplemented);
}

JNINativeInterface_ g_functions;
JNIInvokeInterface_ g_invoke;

}  // namespace

void SetUpTables(JavaVM** vm, JNIEnv** env) {
  FillWithUnimplemented(&g_functions);
  g_functions.GetVersion = GetVersion;
  g_functions.FindClass = FindClass;
  g_functions.GetStaticMethodID = GetStaticMethodID;
  g_functions.CallStaticVoidMethod = CallStaticVoidMethod;
  g_functions.CallStaticVoidMethodV = CallStaticVoidMethodV;
  g_functions.CallStaticVoidMethodA = CallStaticVoidMethodA;
  g_functions.CallStaticBooleanMethod = CallStaticBooleanMethod;
  g_functions.CallStaticBooleanMethodV = CallStaticBooleanMethodV;
  g_functions.CallStaticBooleanMethodA = CallStaticBooleanMethodA;
  g_functions.ExceptionOccurred = ExceptionOccurred;
  g_functions.ExceptionCheck = ExceptionCheck;
  g_functions.ExceptionDescribe = ExceptionDescribe;
  g_functions.ExceptionClear = ExceptionClear;
  g_functions.NewObjectArray = NewObjectArray;
  g_functions.NewString = NewString;
  g_functions.SetObjectArrayElement = SetObjectArrayElement;
  g_functions.GetArrayLength = GetArrayLength;
  g_functions.DeleteLocalRef = DeleteLocalRef;
  g_env.functions = &g_functions;

  FillWithUnimplemented(&g_invoke);
  g_invoke.DestroyJavaVM = DestroyJavaVM;
  g_invoke.GetEnv = GetEnv;
  g_invoke.AttachCurrentThread = AttachCurrentThread;
  g_invoke.AttachCurrentThreadAsDaemon = AttachCurrentThread;
  g_invoke.DetachCurrentThread = DetachCurrentThread;
  g_vm.functions = &g_invoke;
  *vm = &g_vm;
  *env = &g_env;
}

}  // namespace jvm_double

