// What the two files of the jvm.dll double share (jvm_double_win.cpp: its
// settings, record and main; jvm_double_jni_win.cpp: the JNI function
// tables); see jvm_double_win.cpp for what it stands in for.
#pragma once
#define _JNI_IMPLEMENTATION_
#include <jni.h>

#include <string>
#include <vector>

#include "sys/win.h"

namespace jvm_double {

struct Settings {
  jint create_result = 0;
  std::vector<std::string> missing_classes;
  std::vector<std::string> missing_methods;
  bool fail_object_array = false;
  long fail_string = -1;
  DWORD create_sleep_ms = 0;
  unsigned long main_output_bytes = 0;
  bool main_stdin = false;
  bool main_stdin_to_end = false;
  bool main_exits = false;
  UINT main_exit_code = 0;
  bool main_throws = false;
  bool first_run_result = true;
  bool first_run_throws = false;
  bool record_main_only = false;
  std::string host_java;
  std::string main_grandchild;
  DWORD main_sleep_ms = 0;
};

// A Java object as far as a launcher can tell.
struct Object {
  std::string name;                 // class name, method-independent
  std::wstring text;                // strings
  std::vector<Object*> elements;    // arrays
};

struct Method {
  std::string class_name;
  std::string name;
  std::string signature;
};

extern Settings g_settings;
extern Object* g_pending;  // the pending exception
extern long g_strings_made;

// Appends a line to the record beside the DLL.
void Record(const std::string& line);
// Leaves an exception of the class pending.
void Throw(const char* class_name);
// What the called static void method does (main).
void RunMain(const Method& method, jobjectArray arguments);
// Fills the JNI function tables and hands out the JavaVM and JNIEnv.
void SetUpTables(JavaVM** vm, JNIEnv** env);

}  // namespace jvm_double
