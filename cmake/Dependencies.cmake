# Third-party libraries, found once for the whole tree.
if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)  # the Windows programs stand alone
endif()
find_package(ZLIB REQUIRED)
find_package(Threads REQUIRED)
if(WIN32)
  # Windows 10's API, wide-character calls; gmtime_r and localtime_r as on
  # the other systems.
  add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                          _POSIX_THREAD_SAFE_FUNCTIONS=200112L)
  # Test programs (and the test listing of gtest_discover_tests) run under
  # Wine in a prefix of the build's own.
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env MINDREL_WINEPREFIX=${CMAKE_BINARY_DIR}/wine
                                    ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh)
  # Windows itself offers the locale services (collation, case, character
  # sets); GoogleTest is built from the sources Debian's libgtest-dev ships.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # Header-only parts of ICU (its UTF-8 macros) are used on both sides.
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/icu-headers)
  file(CREATE_LINK /usr/include/unicode ${CMAKE_BINARY_DIR}/icu-headers/unicode SYMBOLIC)
  add_library(icu_headers INTERFACE)
  target_include_directories(icu_headers SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/icu-headers)
  add_library(ICU::uc ALIAS icu_headers)
else()
  find_package(PkgConfig REQUIRED)
  find_package(ICU REQUIRED COMPONENTS uc i18n)
  find_package(GTest REQUIRED)
endif()
if(MINDREL_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test Help ToolsTools)
  if(NOT WIN32)
    find_package(Qt6 REQUIRED COMPONENTS DBus)  # the desktop notification
  endif()
endif()
if(NOT WIN32)
  pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse-simple libpulse)
endif()
if(MINDREL_BENCH)
  find_package(benchmark REQUIRED)
  find_package(SQLite3 REQUIRED)
endif()

# A layer whose folder holds no sources yet still yields a (empty) library, so
# the layers above can link it before it is written.
macro(mindrel_nonempty list_var)
  if(NOT ${list_var})
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/empty_layer.cpp "")
    set(${list_var} ${CMAKE_CURRENT_BINARY_DIR}/empty_layer.cpp)
  endif()
endmacro()

# Every source folder is one library made of the .cpp files it holds.
function(mindrel_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  mindrel_nonempty(sources)
  add_library(${name} STATIC ${sources} ${headers})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# Test programs of the Windows build get the few POSIX calls the tests use.
function(mindrel_test_program name)
  if(WIN32)
    target_compile_options(${name} PRIVATE -include ${PROJECT_SOURCE_DIR}/tests/support/PosixOnWindows.h)
  endif()
endfunction()

# One GoogleTest executable per test folder, made of every *Test.cpp in it:
#   mindrel_gtest(NAME LIBRARIES... [LINUX_ONLY FILES...] [WINDOWS_ONLY FILES...])
# Files named after LINUX_ONLY test what only the Linux side has (its own
# stand-ins for Windows services, POSIX processes and permissions); files after
# WINDOWS_ONLY test the Windows side.
include(GoogleTest)
function(mindrel_gtest name)
  cmake_parse_arguments(PARSE_ARGV 1 test "" "" "LINUX_ONLY;WINDOWS_ONLY")
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp)
  if(WIN32)
    set(excluded ${test_LINUX_ONLY})
  else()
    set(excluded ${test_WINDOWS_ONLY})
  endif()
  foreach(file ${excluded})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${file})
  endforeach()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  mindrel_test_program(${name})
  target_link_libraries(${name} PRIVATE ${test_UNPARSED_ARGUMENTS} GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${name} PRIVATE MINDREL_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
                                             MINDREL_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endfunction()

# Windows (classes named *Form, with their .ui files, the *Widget and *Dialog
# classes they are made of, and the *Application object) form a Qt Widgets library of
# their own, so the logic beside them builds and tests without a display.
function(mindrel_split_library logic_name widgets_name)
  file(GLOB all_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB form_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Form.cpp
                                           ${CMAKE_CURRENT_SOURCE_DIR}/*Widget.cpp
                                           ${CMAKE_CURRENT_SOURCE_DIR}/*Dialog.cpp
                                           ${CMAKE_CURRENT_SOURCE_DIR}/*Application.cpp
                                           ${CMAKE_CURRENT_SOURCE_DIR}/*Qt.cpp)
  file(GLOB form_uis CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  set(logic_sources ${all_sources})
  if(form_sources)
    list(REMOVE_ITEM logic_sources ${form_sources})
  endif()
  list(FILTER logic_sources EXCLUDE REGEX "/main\\.cpp$")
  mindrel_nonempty(logic_sources)
  add_library(${logic_name} STATIC ${logic_sources})
  target_include_directories(${logic_name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(MINDREL_GUI AND form_sources)
    add_library(${widgets_name} STATIC ${form_sources} ${form_uis})
    set_target_properties(${widgets_name} PROPERTIES AUTOMOC ON AUTOUIC ON)
    target_include_directories(${widgets_name} PUBLIC ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR}
                                                      ${CMAKE_CURRENT_BINARY_DIR}/${widgets_name}_autogen/include)
    target_link_libraries(${widgets_name} PUBLIC ${logic_name} Qt6::Widgets)
  endif()
endfunction()

# Adds every direct subfolder that has a CMakeLists.txt.
function(mindrel_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(child ${children})
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
