# The Windows build's dependencies, from the same Debian packages as the Linux build's: the
# headers of nlohmann-json, fmt (both header-only) and spdlog, and GoogleTest built from the
# sources Debian installs. Only those three header folders are put on the include path:
# /usr/include itself holds glibc's headers, which must not shadow mingw-w64's.
set(TAMEWARDEN_DEBIAN_HEADERS ${PROJECT_BINARY_DIR}/debian-headers)
file(MAKE_DIRECTORY ${TAMEWARDEN_DEBIAN_HEADERS})
foreach(folder nlohmann spdlog fmt)
  if(NOT IS_DIRECTORY /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: run scripts/install-deps.sh")
  endif()
  file(CREATE_LINK /usr/include/${folder} ${TAMEWARDEN_DEBIAN_HEADERS}/${folder} SYMBOLIC)
endforeach()

add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                      INTERFACE_INCLUDE_DIRECTORIES ${TAMEWARDEN_DEBIAN_HEADERS})

add_library(fmt::fmt INTERFACE IMPORTED)
set_target_properties(fmt::fmt PROPERTIES
                      INTERFACE_INCLUDE_DIRECTORIES ${TAMEWARDEN_DEBIAN_HEADERS}
                      INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY)

# Debian's spdlog is configured for the external fmt (its tweakme.h says so). Its compiled code
# lives in the stand-in host's DLL (standin/SpdlogWindows.cpp), as in libspdlog.so on Linux: the
# formatter the plugin's logger gives the host's sinks must not be code of the plugin's DLL.
add_library(spdlog::spdlog INTERFACE IMPORTED)
set_target_properties(spdlog::spdlog PROPERTIES
                      INTERFACE_INCLUDE_DIRECTORIES ${TAMEWARDEN_DEBIAN_HEADERS}
                      INTERFACE_COMPILE_DEFINITIONS "SPDLOG_FMT_EXTERNAL;SPDLOG_COMPILED_LIB"
                      INTERFACE_LINK_LIBRARIES fmt::fmt)

find_package(Threads REQUIRED)

if(TAMEWARDEN_TESTS)
  set(TAMEWARDEN_GOOGLETEST_SOURCES /usr/src/googletest CACHE PATH "Debian's GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TAMEWARDEN_GOOGLETEST_SOURCES} ${PROJECT_BINARY_DIR}/googletest
                   EXCLUDE_FROM_ALL SYSTEM)  # gives the GTest:: targets
endif()
