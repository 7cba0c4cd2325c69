# Flags for the code that ends up in vexlo-service.exe, which ships with every
# application: small, no exceptions, no unwind tables.
# -Oz (GCC 12): smaller than -Os (about 1 KB) where the two differ, for code
# whose speed is that of the calls it makes.
# -fno-ipa-sra: that pass gives each object its own private copy of inline
# library members it calls with a narrowed signature (std::string's move
# assignment and const char* constructor in most objects); private copies
# cannot be merged by the linker. Without it the stub is about 5 KB smaller.
# Function-local statics keep their thread-safe initialisation, through the
# guard functions of src/sys/lean_runtime_win.cpp: the service process has
# three threads. -Werror=format: log formats are checked against msvcrt's
# conventions.
# vexlo_launcher_flags([KEEP_SYMBOLS] <target>...): KEEP_SYMBOLS leaves
# executables unstripped (for the linker map of scripts/stub-size.sh).
function(vexlo_launcher_flags)
  cmake_parse_arguments(PARSE_ARGV 0 arg "KEEP_SYMBOLS" "" "")
  foreach(target IN LISTS arg_UNPARSED_ARGUMENTS)
    target_compile_options(${target} PRIVATE
      -Oz -ffunction-sections -fdata-sections -fno-exceptions -fno-rtti
      -fno-asynchronous-unwind-tables -fno-ipa-sra -Wall -Wextra -Werror=format)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE -static -Wl,--gc-sections)
      if(NOT arg_KEEP_SYMBOLS)
        target_link_options(${target} PRIVATE -s)
      endif()
    endif()
  endforeach()
endfunction()
