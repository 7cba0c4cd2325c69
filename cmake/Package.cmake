# The release archives (scripts/package.sh): vexlo-build and, beside it, the
# launcher stub and the runtime jars it builds with, the documentation, the
# demo and the licences.
#
# Two install components: `builder`, this build's vexlo-build, and `shared`,
# everything else. The stub exists only in the Windows build, so `shared`
# always comes from there: the Linux archive packs the Windows build's
# `shared` with its own `builder`, and both archives carry the same files.

# A packaged builder must find its stub and jar beside itself and nowhere else:
# one that falls back to a build tree works on this machine only, and a test of
# the archive would pass by accident.
if(VEXLO_BUILDER_STUB OR VEXLO_BUILDER_RUNTIME_JAR)
  message(STATUS "Release archive: not made by this build (vexlo-build falls back to build-tree files)")
  return()
endif()

install(TARGETS vexlo-build RUNTIME DESTINATION . COMPONENT builder)
if(WIN32)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/package/README.txt.in ${CMAKE_BINARY_DIR}/package/README.txt @ONLY)
  install(TARGETS vexlo-service RUNTIME DESTINATION . COMPONENT shared)
  install(FILES ${VEXLO_RUNTIME_JAR} ${VEXLO_TVLRUNTIME_JAR} DESTINATION . COMPONENT shared)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_CURRENT_LIST_DIR}/package/THIRD-PARTY-NOTICES.txt
                ${CMAKE_BINARY_DIR}/package/README.txt
          DESTINATION . COMPONENT shared)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION docs COMPONENT shared)
  install(FILES ${CMAKE_SOURCE_DIR}/examples/demo/demo.toml ${VEXLO_DEMO_JAR}
          DESTINATION examples/demo COMPONENT shared)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/demo/src DESTINATION examples/demo COMPONENT shared)
  set(shared_from ${CMAKE_BINARY_DIR})
  set(system windows)
  set(CPACK_GENERATOR ZIP)
else()
  set(VEXLO_RELEASE_WINDOWS_BUILD "" CACHE PATH
      "Release build of the windows-release preset, whose stub, jars and documents this build's archive carries")
  if(NOT VEXLO_RELEASE_WINDOWS_BUILD)
    message(STATUS "Release archive: not made by this build (VEXLO_RELEASE_WINDOWS_BUILD not set)")
    return()
  endif()
  if(NOT EXISTS ${VEXLO_RELEASE_WINDOWS_BUILD}/vexlo-service.exe)
    message(FATAL_ERROR "No launcher stub in VEXLO_RELEASE_WINDOWS_BUILD=${VEXLO_RELEASE_WINDOWS_BUILD}: "
                        "build the windows-release preset first (scripts/package.sh does)")
  endif()
  set(shared_from ${VEXLO_RELEASE_WINDOWS_BUILD})
  string(TOLOWER ${CMAKE_SYSTEM_NAME} system)
  set(CPACK_GENERATOR TGZ)
endif()

if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(architecture x64)
else()
  string(TOLOWER ${CMAKE_SYSTEM_PROCESSOR} architecture)
endif()
set(CPACK_PACKAGE_FILE_NAME vexlo-${PROJECT_VERSION}-${system}-${architecture})
set(CPACK_INSTALL_CMAKE_PROJECTS "${shared_from};vexlo;shared;/" "${CMAKE_BINARY_DIR};vexlo;builder;/")
include(CPack)
