/* Machine-dependent JNI definitions for 64-bit Windows. The JDK's jni.h
   includes "jni_md.h"; this directory comes first on the include path so that
   it finds these instead of the build host's Linux ones. On 64-bit Windows
   long is 32 bits, so jint is long there, and jlong must be long long. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif /* !_JAVASOFT_JNI_MD_H_ */
