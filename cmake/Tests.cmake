# Test programs are Windows programs: built here, run under Wine through the emulator
# wrapper, and the same suite runs natively on Windows (where no emulator is set).
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
if(NOT VELLMAR_GTEST_DIR)
  set(VELLMAR_GTEST_DIR /usr/src/googletest)
endif()
add_subdirectory(${VELLMAR_GTEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

include(GoogleTest)

# Test-only support: the stand-in browser control, the local portal, shared helpers.
file(GLOB support_dirs LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/tests/support/*)
foreach(dir ${support_dirs})
  if(EXISTS ${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endforeach()

# vellmar_add_gtest(name sources... [LIBS libs...] [TIMEOUT s] [LABELS l...])
function(vellmar_add_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 60)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()

# One unit-test program per folder of tests/unit: it links the launcher's code and resources.
file(GLOB unit_dirs LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/tests/unit/*)
foreach(dir ${unit_dirs})
  if(IS_DIRECTORY ${dir})
    get_filename_component(folder ${dir} NAME)
    file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
    # A folder's own .rc files hold test-only resources (broken or odd images and the like).
    file(GLOB rcs CONFIGURE_DEPENDS ${dir}/*.rc)
    # Folders ending in _system test against Wine's own WebBrowser control: scripts/test runs
    # them in a prefix where the stand-in is not registered.
    # (One label each: a list does not survive gtest_discover_tests' PROPERTIES.)
    set(labels unit)
    if(folder MATCHES "_system$")
      set(labels system-browser)
    endif()
    if(srcs)
      vellmar_add_gtest(unit_${folder} SOURCES ${srcs} ${rcs} $<TARGET_OBJECTS:vellmar_res>
        LIBS vellmar_core test_common LABELS ${labels})
      target_include_directories(unit_${folder} PRIVATE ${dir})
      # A folder's own additions to its program (further libraries), given the target name.
      if(EXISTS ${dir}/unit.cmake)
        set(UNIT_TARGET unit_${folder})
        include(${dir}/unit.cmake)
      endif()
    endif()
  endif()
endforeach()

# End-to-end tests see only what a player or the system would see: they never link the
# launcher's code, they start Vellmar.exe.
file(GLOB e2e_srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
if(e2e_srcs)
  vellmar_add_gtest(e2e_tests SOURCES ${e2e_srcs} LIBS test_common local_portal standin_browser_api gdiplus
    TIMEOUT 180 LABELS e2e)
  target_include_directories(e2e_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  add_dependencies(e2e_tests Vellmar standin_browser)
endif()

add_subdirectory(${CMAKE_SOURCE_DIR}/tests/bench ${CMAKE_BINARY_DIR}/bench)
