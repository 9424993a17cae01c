# RapidJSON and GoogleTest for the Windows target.

# RapidJSON is header-only. Debian's copy lives in /usr/include, which must never reach the
# MinGW include path (it would pull in Linux headers), so only its own folder is exposed,
# through a symlink in the build folder. On Windows, vcpkg's copy is found the usual way.
find_path(RAPIDJSON_HEADER_DIR rapidjson/document.h NO_CMAKE_FIND_ROOT_PATH
          HINTS ${RAPIDJSON_ROOT} $ENV{RAPIDJSON_ROOT} PATH_SUFFIXES include)
if(NOT RAPIDJSON_HEADER_DIR)
  message(FATAL_ERROR "rapidjson/document.h not found (install rapidjson-dev or vcpkg rapidjson)")
endif()
add_library(rapidjson INTERFACE)
if(CMAKE_CROSSCOMPILING)
  set(_rj_dir ${CMAKE_BINARY_DIR}/rapidjson-include)
  file(MAKE_DIRECTORY ${_rj_dir})
  file(CREATE_LINK ${RAPIDJSON_HEADER_DIR}/rapidjson ${_rj_dir}/rapidjson SYMBOLIC)
  target_include_directories(rapidjson SYSTEM INTERFACE ${_rj_dir})
else()
  target_include_directories(rapidjson SYSTEM INTERFACE ${RAPIDJSON_HEADER_DIR})
endif()

# GoogleTest built from source for the target (Debian's /usr/src/googletest, or a checkout
# given with -DGOOGLETEST_SOURCE_DIR=...).
set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(EXISTS ${GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()
