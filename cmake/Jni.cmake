# JNI for the Windows build: jni.h from a JDK on the build host, with the
# Windows x64 jni_md.h of src/launch/jni in front of it. The cross toolchain
# searches only its own root, so the JDK's directory is named here directly.
set(VEXLO_JNI_INCLUDE_DIR /usr/lib/jvm/java-17-openjdk-amd64/include
  CACHE PATH "Directory holding the JDK's jni.h (Debian: openjdk-17-jdk-headless)")
if(NOT EXISTS "${VEXLO_JNI_INCLUDE_DIR}/jni.h")
  message(FATAL_ERROR
    "jni.h not found in VEXLO_JNI_INCLUDE_DIR=${VEXLO_JNI_INCLUDE_DIR}. Install a JDK "
    "(bash scripts/setup.sh installs openjdk-17-jdk-headless) or configure with "
    "-DVEXLO_JNI_INCLUDE_DIR=<jdk>/include.")
endif()
add_library(vexlo_jni INTERFACE)
target_include_directories(vexlo_jni BEFORE INTERFACE ${CMAKE_SOURCE_DIR}/src/launch/jni)
target_include_directories(vexlo_jni SYSTEM INTERFACE ${VEXLO_JNI_INCLUDE_DIR})
