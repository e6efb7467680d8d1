# One static library per module: every .cpp file in src/<module>/ (and, for the platform
# layer, the files of the operating system being built for). New files are picked up at
# the next build without touching any CMake file. EXCLUDE names files of the folder that
# belong to a smaller library of their own.
function(zent_module name)
  cmake_parse_arguments(M "" "" "SOURCES_GLOB;DEPS;EXCLUDE" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${M_SOURCES_GLOB})
  if(M_EXCLUDE)
    list(REMOVE_ITEM srcs ${M_EXCLUDE})
  endif()
  add_library(zent_${name} STATIC ${srcs})
  target_include_directories(zent_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(zent_${name} PUBLIC ${M_DEPS})
endfunction()

# One GoogleTest program per module: every .cpp file in tests/<module>/ and in its folder of
# the system being built for (tests/<module>/posix/ or tests/<module>/win32/: cases that only
# make sense on one system). TIMEOUT raises a
# case's time-out for programs whose cases wait on other processes; RESOURCE_LOCK names a
# machine-wide resource the cases hold one at a time.
function(zent_module_tests name)
  cmake_parse_arguments(T "" "TIMEOUT;RESOURCE_LOCK" "DEPS" ${ARGN})
  if(WIN32 AND NOT name IN_LIST ZENT_WIN32_TESTS)
    return()
  endif()
  if(WIN32)
    set(system_dir win32)
  else()
    set(system_dir posix)
  endif()
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp
                                   ${CMAKE_CURRENT_SOURCE_DIR}/${name}/${system_dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name}_tests ${srcs})
  # The target "unit_tests" builds every such program (and nothing else).
  set_property(GLOBAL APPEND PROPERTY ZENT_UNIT_TEST_PROGRAMS ${name}_tests)
  target_link_libraries(${name}_tests PRIVATE ${T_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  # Shared header-only test fixtures: "support/…".
  target_include_directories(${name}_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name}_tests PRIVATE zent_test_support)
  target_compile_definitions(${name}_tests PRIVATE
    ZENT_TEST_DATA_DIR="${ZENT_TEST_PATH_PREFIX}${PROJECT_SOURCE_DIR}/tests/data"
    ZENT_TEST_TMP_DIR="${ZENT_TEST_PATH_PREFIX}${CMAKE_CURRENT_BINARY_DIR}/tmp")
  # Every test case is its own CTest test with a time-out, so a hang fails with its name in
  # seconds instead of holding the whole run. Sanitizer builds run the same cases several times
  # slower (ThreadSanitizer most: the profile-file cases that read and rewrite large files take
  # 20 s there against a second in an ordinary build), so they get more time.
  set(case_timeout 30)
  if(ZENT_SANITIZE OR CMAKE_CROSSCOMPILING_EMULATOR)
    set(case_timeout 120)
  endif()
  if(T_TIMEOUT AND T_TIMEOUT GREATER case_timeout)
    set(case_timeout ${T_TIMEOUT})
  endif()
  set(props LABELS ${name} TIMEOUT ${case_timeout})
  if(T_RESOURCE_LOCK)
    list(APPEND props RESOURCE_LOCK ${T_RESOURCE_LOCK})
  endif()
  # Under an emulator (Wine) the cases are listed when ctest runs, so a build needs no Wine.
  set(discovery_mode POST_BUILD)
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    set(discovery_mode PRE_TEST)
  endif()
  gtest_discover_tests(${name}_tests DISCOVERY_TIMEOUT 60 DISCOVERY_MODE ${discovery_mode}
                       PROPERTIES ${props})
endfunction()
