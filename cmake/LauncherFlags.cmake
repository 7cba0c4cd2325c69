# Flags for the code that ends up in vexlo-service.exe, which ships with every
# application: small, no exceptions, the C runtime's own printf conventions.
function(vexlo_launcher_flags)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE
      -Os -ffunction-sections -fdata-sections -fno-exceptions -fno-rtti
      -fno-asynchronous-unwind-tables -fno-threadsafe-statics -Wall -Wextra)
    # msvcrt's printf: %S is a wide string and %I64d works as Windows programs
    # expect, and MinGW's own implementation is not linked in.
    target_compile_definitions(${target} PRIVATE __USE_MINGW_ANSI_STDIO=0)
  endforeach()
  foreach(target IN LISTS ARGN)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE -static -s -Wl,--gc-sections)
    endif()
  endforeach()
endfunction()
