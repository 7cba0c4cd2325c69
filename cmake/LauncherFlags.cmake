# Flags for the code that ends up in vexlo-service.exe, which ships with every
# application: small, no exceptions, no unwind tables.
function(vexlo_launcher_flags)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE
      -Os -ffunction-sections -fdata-sections -fno-exceptions -fno-rtti
      -fno-asynchronous-unwind-tables -Wall -Wextra -Werror=format)
  endforeach()
  foreach(target IN LISTS ARGN)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE -static -s -Wl,--gc-sections)
    endif()
  endforeach()
endfunction()
