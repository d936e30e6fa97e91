# Build conventions shared by every folder of the suite.

option(SUITE_SANITIZE "Build native code with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
set(SUITE_WIN64_DIR "" CACHE PATH "win64 build tree whose programs the native test tree runs under Wine")

set(SUITE_WINE_RUN_DIR ${CMAKE_BINARY_DIR}/wine-run)
set(SUITE_WINE ${CMAKE_SOURCE_DIR}/tools/wine/winerun.sh)

add_library(suite_options INTERFACE)
# SuiteVersion.h, made from the project's version, for the version resources.
configure_file(${CMAKE_SOURCE_DIR}/res/SuiteVersion.h.in ${CMAKE_BINARY_DIR}/generated/SuiteVersion.h @ONLY)
target_include_directories(suite_options INTERFACE ${CMAKE_BINARY_DIR}/generated)
target_compile_options(suite_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wno-missing-field-initializers)
option(SUITE_WARNINGS_AS_ERRORS "Fail the build on any warning of the suite's own code" OFF)
if(SUITE_WARNINGS_AS_ERRORS)
  target_compile_options(suite_options INTERFACE -Werror)
endif()
if(WIN32)
  # ANSI Win32 (no UNICODE), XP-level headers, static runtime so no MinGW DLL is needed.
  target_compile_definitions(suite_options INTERFACE _WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600 NOMINMAX STRICT)
  target_link_options(suite_options INTERFACE -static -static-libgcc -static-libstdc++)
elseif(SUITE_SANITIZE)
  target_compile_options(suite_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(suite_options INTERFACE -fsanitize=address,undefined)
endif()

if(SUITE_SANITIZE AND NOT WIN32)
  # gtest itself must share the sanitizer runtime with the tests.
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Headers are included by their folder ("ftp/Socket.h"). A library shows its
# users its own folder only, through a link in the build tree, so a header of
# a layer it does not link cannot be found, and a wrong include fails to build.
function(suite_expose_folder target scope)
  file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# suite_library(name SOURCES... [LIBS ...])
function(suite_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  suite_expose_folder(${name} PUBLIC)
  target_link_libraries(${name} PUBLIC suite_options ${A_LIBS})
endfunction()

# suite_program(name SOURCES... [LIBS ...]) : a Windows GUI program in bin/.
function(suite_program name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} WIN32 ${A_SOURCES})
  # A new version must reach the version resource.
  foreach(src ${A_SOURCES})
    if(src MATCHES "\\.rc$")
      set_property(SOURCE ${src} APPEND PROPERTY OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/generated/SuiteVersion.h)
    endif()
  endforeach()
  suite_expose_folder(${name} PRIVATE)
  target_link_libraries(${name} PRIVATE suite_options ${A_LIBS})
endfunction()

# suite_native_test(name SOURCES... [LIBS ...]) : GoogleTest on the build machine.
function(suite_native_test name)
  if(WIN32)
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE suite_options GTest::gtest_main ${A_LIBS})
  target_compile_definitions(${name} PRIVATE SUITE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30
    PROPERTIES TIMEOUT 120 LABELS native
    ENVIRONMENT "SUITE_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()

# suite_win_test(name SOURCES... [LIBS ...] [TIMEOUT s] [NO_DIRECT_RUN])
# In a Windows tree: builds bin/tests/<name>.exe (GoogleTest).
# In the native tree: registers it, from SUITE_WIN64_DIR, as a test run under
# Wine, unless NO_DIRECT_RUN says an end-to-end script runs it instead.
function(suite_win_test name)
  cmake_parse_arguments(A "NO_DIRECT_RUN" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 180)
  endif()
  if(WIN32)
    add_executable(${name} ${A_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/tests)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE suite_options GTest::gtest_main ${A_LIBS})
  elseif(SUITE_WIN64_DIR AND NOT A_NO_DIRECT_RUN)
    add_test(NAME win.${name}
      COMMAND ${SUITE_WINE} exec ${A_TIMEOUT} ${SUITE_WIN64_DIR}/bin/tests/${name}.exe)
    suite_wine_test_properties(win.${name} ${A_TIMEOUT})
  endif()
endfunction()

# suite_e2e_test(name SCRIPT file [TIMEOUT s]) : a Python end-to-end test of the
# real programs under Wine, against real or scripted servers.
function(suite_e2e_test name)
  cmake_parse_arguments(A "" "SCRIPT;TIMEOUT" "" ${ARGN})
  if(WIN32 OR NOT SUITE_WIN64_DIR)
    return()
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  add_test(NAME e2e.${name}
    COMMAND ${SUITE_WINE} script ${A_TIMEOUT} /usr/bin/python3 ${A_SCRIPT})
  suite_wine_test_properties(e2e.${name} ${A_TIMEOUT})
endfunction()

function(suite_wine_test_properties test timeout)
  math(EXPR hard "${timeout} + 30")
  set_tests_properties(${test} PROPERTIES
    TIMEOUT ${hard}
    FIXTURES_REQUIRED wine
    RESOURCE_LOCK wineprefix
    LABELS wine
    ENVIRONMENT "SUITE_WINE_RUN_DIR=${SUITE_WINE_RUN_DIR};SUITE_SOURCE_DIR=${CMAKE_SOURCE_DIR};SUITE_WIN64_DIR=${SUITE_WIN64_DIR};SUITE_NATIVE_DIR=${CMAKE_BINARY_DIR}")
endfunction()
