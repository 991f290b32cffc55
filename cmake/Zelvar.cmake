# Project-wide compile settings and helpers used by every folder.

include(GoogleTest)

# Thin archives: a static library names its objects instead of holding a
# second copy of them, which keeps a build tree's size on disk down.
foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcT <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qT <TARGET> <LINK_FLAGS> <OBJECTS>")
endforeach()

add_compile_options(-Wall -Wextra -Wno-unused-parameter)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # g++ 12 at -O3 reports overlaps inside the standard library's own string
  # assignment (-Wrestrict) that cannot happen; later versions do not.
  add_compile_options(-Wno-restrict)
endif()
# Qt's lower-case keyword macros (signals, slots, emit, foreach) stay
# undefined everywhere: Qt code says Q_SIGNALS, Q_SLOTS and Q_EMIT, and core
# names such as `slots` mean what they say in any include order.
add_compile_definitions(QT_NO_KEYWORDS)
if(ZELVAR_WERROR)
  add_compile_options(-Werror)
endif()

if(ZELVAR_SANITIZE)
  add_compile_options(-fsanitize=${ZELVAR_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${ZELVAR_SANITIZE})
  if(ZELVAR_SANITIZE MATCHES "address" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # Optimiser and sanitizer together produce false -W warnings in g++ 12.
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
endif()

if(ZELVAR_BUILD_FUZZ)
  # Coverage for the fuzzer in every library a fuzz target links; the
  # targets themselves link the fuzzer's main (fuzz/).
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# zelvar_core_library(<name> [SHARED] SOURCES ... [LIBS ...])
# A core library: plain C++, no Qt on its include path, so a widget include
# in core code fails to build. SHARED for a library whose process-wide state
# (dispatcher, registry store) must exist once although the program and the
# plug-ins it loads all use it.
function(zelvar_core_library name)
  cmake_parse_arguments(ARG "SHARED" "" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_SOURCES)
    # A folder whose first sources have not arrived yet.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_LIBS} Threads::Threads)
    return()
  endif()
  if(ARG_SHARED)
    add_library(${name} SHARED ${ARG_SOURCES})
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS} Threads::Threads)
endfunction()

# zelvar_ui_library(<name> SOURCES ... [LIBS ...])
# A user-interface library: Qt 6 Widgets, calls into the core.
function(zelvar_ui_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS} Qt6::Widgets Qt6::Gui Qt6::Core Threads::Threads)
endfunction()

# What every test case runs with: offscreen Qt, the test run's own paths of
# the program, and the leak suppressions of the sanitizer builds.
set(ZELVAR_TEST_ENVIRONMENT
  QT_QPA_PLATFORM=offscreen ZELVAR_TEST=1 "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp")

# zelvar_test(<name> SOURCES ... [LIBS ...] [LABELS ...])
# One GoogleTest executable. Each of its cases is a test of CTest named
# <name>.<suite>.<case>, run in a process of its own, so a failure names its
# case and the long cases of one binary run side by side. It links the
# tests' support library (testsupport/), a Qt test its Qt part too.
# Label "threads" marks tests that run threads against each other; CI runs
# those under ThreadSanitizer as well. Label "ui" marks Qt widget tests.
#
# CTest lists the cases when it starts, by running the binary, and the
# listing runs in the cases' environment too: a script read before it sets
# that environment, one read after it puts CTest's own back and gives the
# cases their environment, time-out and labels (the properties of
# gtest_discover_tests cannot carry a list such as the environment).
function(zelvar_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zv_testsupport GTest::gtest GTest::gmock GTest::gtest_main
    Threads::Threads)
  if(ARG_LIBS MATCHES "Qt6::" OR ARG_LIBS MATCHES "_ui")
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE zv_testsupport_ui)
  endif()

  set(before "")
  set(after "")
  foreach(setting IN LISTS ZELVAR_TEST_ENVIRONMENT)
    string(FIND "${setting}" "=" at)
    string(SUBSTRING "${setting}" 0 ${at} variable)
    math(EXPR at "${at} + 1")
    string(SUBSTRING "${setting}" ${at} -1 value)
    set(saved "zelvar_saved_${variable}")
    string(APPEND before
      "if(DEFINED ENV{${variable}})\n  set(${saved} \"\$ENV{${variable}}\")\nelse()\n  unset(${saved})\nendif()\n"
      "set(ENV{${variable}} [==[${value}]==])\n")
    string(APPEND after
      "if(DEFINED ${saved})\n  set(ENV{${variable}} \"\${${saved}}\")\nelse()\n  unset(ENV{${variable}})\nendif()\n")
  endforeach()
  string(APPEND after
    "if(${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES\n"
    "    ENVIRONMENT [==[${ZELVAR_TEST_ENVIRONMENT}]==] TIMEOUT 300 LABELS [==[${ARG_LABELS}]==])\n"
    "endif()\n")
  set(script "${CMAKE_CURRENT_BINARY_DIR}/${name}_ctest")
  file(WRITE "${script}_before.cmake" "${before}")
  file(WRITE "${script}_after.cmake" "${after}")

  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}_before.cmake")
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    TEST_LIST ${name}_TESTS
    NO_PRETTY_TYPES NO_PRETTY_VALUES
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60)
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}_after.cmake")
endfunction()

# zelvar_bench(<name> SOURCES ... [LIBS ...])
function(zelvar_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT ZELVAR_BUILD_BENCH)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark Threads::Threads)
endfunction()

# zelvar_fuzz_target(<name> SOURCES ... [LIBS ...] [CORPUS <folder>])
# One fuzz target, fuzz_<name>: its sources define LLVMFuzzerTestOneInput
# and hand the input to the program's own parsing entry points. Its seed
# corpus (default: the folder "corpus" beside the calling CMakeLists.txt) is
# committed. The normal build links the target with a plain runner, and a
# test (label "fuzz") runs every corpus file through it; with
# ZELVAR_BUILD_FUZZ the target is a libFuzzer binary and the test runs the
# corpus once. The binaries go to <build>/fuzz/bin, each beside a file naming
# its corpus, where scripts/fuzz.sh finds them.
function(zelvar_fuzz_target name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_CORPUS)
    set(ARG_CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus)
  endif()
  set(target fuzz_${name})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE zv_fuzz_support ${ARG_LIBS})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz/bin)
  file(WRITE ${CMAKE_BINARY_DIR}/fuzz/bin/${target}.corpus "${ARG_CORPUS}\n")
  if(ZELVAR_BUILD_FUZZ)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    add_test(NAME ${target} COMMAND ${target} -runs=0 ${ARG_CORPUS})
  else()
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/support/FuzzMain.cpp)
    add_test(NAME ${target} COMMAND ${target} ${ARG_CORPUS})
  endif()
  add_dependencies(fuzz_targets ${target})
  set_tests_properties(${target} PROPERTIES
    LABELS fuzz TIMEOUT 600
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp")
endfunction()
