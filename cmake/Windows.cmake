# Windows build: Kelvara.exe (GUI, Unicode, static runtime), the core tests and
# the UI tests.
enable_language(RC)
set(KELVARA_WIN_DEFS UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_compile_definitions(kelvara_core PRIVATE ${KELVARA_WIN_DEFS})

add_executable(Kelvara WIN32 ${KELVARA_WIN32_SOURCES})
target_compile_definitions(Kelvara PRIVATE ${KELVARA_WIN_DEFS})
# MinGW: wWinMain needs -municode; -static so the .exe needs no MinGW DLLs.
# MSVC finds wWinMain by itself.
if(MSVC)
  set(KELVARA_STATIC_LINK "")
else()
  set(KELVARA_STATIC_LINK -static -static-libgcc -static-libstdc++)
  target_compile_options(Kelvara PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-municode>)
  target_link_options(Kelvara PRIVATE -municode -mwindows)
endif()
target_compile_options(Kelvara PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${KELVARA_WARNINGS}>)
target_link_options(Kelvara PRIVATE ${KELVARA_STATIC_LINK})
target_link_libraries(Kelvara PRIVATE kelvara_core comctl32 gdi32 comdlg32 winmm user32 kernel32 shell32 advapi32 ole32 windowscodecs mfplat mfreadwrite mfuuid)
# windres reads the UTF-8 .rc; it finds the id header through the source root.
set_property(SOURCE resources/Kelvara.rc APPEND PROPERTY INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR})
if(NOT MSVC)
  set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
endif()

# GoogleTest from source, built with the Windows compiler for the test
# programs (Debian's googletest package puts the sources here).
set(KELVARA_GTEST_SOURCE_DIR /usr/src/googletest/googletest CACHE PATH "GoogleTest sources for the UI tests")
if(NOT EXISTS ${KELVARA_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(STATUS "No GoogleTest sources in ${KELVARA_GTEST_SOURCE_DIR}: building Kelvara.exe without the core and UI tests")
  return()
endif()
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KELVARA_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The core's unit tests built with the Windows compiler, so that the bit-for-bit
# checks of the transform cover the arithmetic Kelvara.exe really does. One
# CTest entry, run under Wine like the UI tests; it needs no desktop. The tests
# that run outside tools (sox) are for the native build only.
file(GLOB KELVARA_CORE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/core/*.cpp)
list(FILTER KELVARA_CORE_TESTS EXCLUDE REGEX "OutsideTools[^/]*$")
add_executable(core_tests ${KELVARA_CORE_TESTS})
target_link_libraries(core_tests PRIVATE kelvara_core gtest gtest_main)
target_link_options(core_tests PRIVATE ${KELVARA_STATIC_LINK})
# A Unix path: CTest starts the test in the build folder, so Wine's current
# drive is Z:, which maps "/".
target_compile_definitions(core_tests PRIVATE
  KELVARA_FUZZ_REGRESSIONS_DIR="${CMAKE_SOURCE_DIR}/tests/fuzz/regressions")
add_test(NAME core_tests COMMAND core_tests)
set_tests_properties(core_tests PROPERTIES TIMEOUT 600)

# The UI driver library: start Kelvara.exe, find its windows, drive them, read back.
file(GLOB KELVARA_UI_DRIVER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/ui/driver/*.cpp)
add_library(ui_driver STATIC ${KELVARA_UI_DRIVER_SOURCES})
target_include_directories(ui_driver PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests/ui)
target_compile_definitions(ui_driver PUBLIC ${KELVARA_WIN_DEFS})
target_compile_options(ui_driver PRIVATE ${KELVARA_WARNINGS})
target_link_libraries(ui_driver PUBLIC kelvara_core gtest gdi32 user32 comctl32 winmm advapi32)

# One program per UI test file; CTest runs each through Wine, one at a time,
# since they share the display and the sound server.
file(GLOB KELVARA_UI_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/ui/*Test.cpp)
foreach(test_source ${KELVARA_UI_TESTS})
  get_filename_component(test_name ${test_source} NAME_WE)
  add_executable(${test_name} ${test_source})
  target_link_libraries(${test_name} PRIVATE ui_driver gtest_main)
  # No -municode: the entry point is gtest_main's narrow main().
  target_link_options(${test_name} PRIVATE ${KELVARA_STATIC_LINK})
  add_dependencies(${test_name} Kelvara)
  add_test(NAME ${test_name} COMMAND ${test_name})
  set_tests_properties(${test_name} PROPERTIES
    RESOURCE_LOCK kelvara_desktop
    TIMEOUT 600
    ENVIRONMENT "KELVARA_EXE=$<TARGET_FILE:Kelvara>;KELVARA_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endforeach()

# Not a test: drives Kelvara through a voice print and takes the README's
# screenshot (make screenshot).
add_executable(ScreenshotTour tests/ui/tools/ScreenshotTour.cpp)
target_link_libraries(ScreenshotTour PRIVATE ui_driver)
target_link_options(ScreenshotTour PRIVATE ${KELVARA_STATIC_LINK})
add_dependencies(ScreenshotTour Kelvara)

# The soak: a long seeded run of random user actions against Kelvara, run by
# scripts/soak.sh (make soak, make test) rather than by CTest, so that the UI
# tests do not run it a second time.
add_executable(SoakDriver tests/ui/soak/SoakDriver.cpp tests/ui/soak/SoakActions.cpp)
target_include_directories(SoakDriver PRIVATE ${CMAKE_SOURCE_DIR}/tests/ui)
target_link_libraries(SoakDriver PRIVATE ui_driver gtest_main)
target_link_options(SoakDriver PRIVATE ${KELVARA_STATIC_LINK})
add_dependencies(SoakDriver Kelvara)
