# The Windows programs' resources and the default package they carry.
#
# zq_program_resources(target description original-name [DLL]) gives a program the icon (30020),
# the manifest and the version resource. zq_embed_package(target) makes the target carry the
# default package as RCDATA 30030. The package is built from package/ by the native zqtool, which
# this build makes itself from the same tree (build/win64/host-tools), so that the win64 build
# needs nothing built before it. The targets zqeditor and zqsetup, which the package stores, may
# be defined after the call.

set(ZQ_COMMON_DIR ${CMAKE_SOURCE_DIR}/app/common)
set(ZQ_BUILD_NUMBER 0 CACHE STRING "fourth part of the programs' file version")
set(ZQ_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
set(ZQ_PACKAGE ${ZQ_PACKAGE_DIR}/_zq64_.pak)

function(zq_program_resources target description original)
  set(ZQ_FILE_DESCRIPTION "${description}")
  set(ZQ_ORIGINAL_NAME "${original}")
  get_filename_component(ZQ_INTERNAL_NAME ${original} NAME_WE)
  set(ZQ_FILE_TYPE VFT_APP)
  if(ARGN STREQUAL "DLL")
    set(ZQ_FILE_TYPE VFT_DLL)
  endif()
  set(rc ${CMAKE_BINARY_DIR}/resources/${target}.rc)
  configure_file(${ZQ_COMMON_DIR}/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES
    OBJECT_DEPENDS "${ZQ_COMMON_DIR}/zq.ico;${ZQ_COMMON_DIR}/zq.manifest")
endfunction()

# The native zqtool of this tree: Release, no tests, no sanitizers, the host's compilers.
function(zq_host_tools)
  set(ZQ_HOST_ZQTOOL ${CMAKE_BINARY_DIR}/host-tools/zqtool PARENT_SCOPE)
  if(TARGET zq_host_tools)
    return()
  endif()
  include(ExternalProject)
  set(launcher "")
  find_program(ZQ_CCACHE ccache)
  if(ZQ_CCACHE)
    set(launcher -DCMAKE_CXX_COMPILER_LAUNCHER=${ZQ_CCACHE} -DCMAKE_C_COMPILER_LAUNCHER=${ZQ_CCACHE})
  endif()
  ExternalProject_Add(zq_host_tools
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/host-tools
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DZQ_TESTS=OFF -DZQ_SANITIZE=OFF -DZQ_BENCH=OFF
               -DZQ_FUZZ=OFF -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc ${launcher}
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target zqtool
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/host-tools/zqtool
    USES_TERMINAL_BUILD OFF)
endfunction()

# The package: package/ and ZOdo64.dll as the sources, zqeditor.exe and zqsetup.exe (entered
# under the name the writer stores as "zqsetup.exe") as the executables, staged in the build
# folder so that the writer touches nothing in the source tree. Checked with pak verify.
function(zq_package_targets)
  if(TARGET zq_package)
    return()
  endif()
  zq_host_tools()
  set(ZQ_HOST_ZQTOOL ${ZQ_HOST_ZQTOOL} PARENT_SCOPE)
  if(NOT TARGET ZOdo64)
    add_library(ZOdo64 SHARED ${CMAKE_SOURCE_DIR}/app/zodo64/zodo64_win32.cpp)
    zq_product_flags(ZOdo64)
    set_target_properties(ZOdo64 PROPERTIES PREFIX "" OUTPUT_NAME ZOdo64
                                            RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
    zq_program_resources(ZOdo64 "VI RIDEVA 9 64ved component library" ZOdo64.dll DLL)
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/package/*)
  list(FILTER sources EXCLUDE REGEX "/(README\\.md|\\.gitattributes)$")
  set(stage ${ZQ_PACKAGE_DIR}/stage)
  add_custom_command(OUTPUT ${ZQ_PACKAGE}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/src ${stage}/exe
    COMMAND ${CMAKE_COMMAND} -E copy ${sources} ${stage}/src/
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:ZOdo64> ${stage}/src/ZOdo64.dll
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:zqeditor> ${stage}/exe/zqeditor.exe
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:zqsetup> ${stage}/exe/zq9utl.exe
    # The writer logs every file it adds; the log is kept beside the package.
    COMMAND sh -c "\"$0\" pak build \"$1\" \"$2\" --exe-dir \"$3\" 2>\"$4\""
            ${ZQ_HOST_ZQTOOL} ${stage}/src ${ZQ_PACKAGE} ${stage}/exe ${ZQ_PACKAGE_DIR}/build.log
    COMMAND ${ZQ_HOST_ZQTOOL} pak verify ${ZQ_PACKAGE}
    DEPENDS ${sources} ZOdo64 zqeditor zqsetup zq_host_tools ${ZQ_HOST_ZQTOOL}
    COMMENT "Building the default package"
    VERBATIM)
  add_custom_target(zq_package DEPENDS ${ZQ_PACKAGE})
  file(WRITE ${ZQ_PACKAGE_DIR}/package.rc.in
       "// The default package (made by cmake/package.cmake).\n30030 RCDATA \"${ZQ_PACKAGE}\"\n")
  configure_file(${ZQ_PACKAGE_DIR}/package.rc.in ${ZQ_PACKAGE_DIR}/package.rc COPYONLY)
endfunction()

function(zq_embed_package target)
  zq_package_targets()
  target_sources(${target} PRIVATE ${ZQ_PACKAGE_DIR}/package.rc)
  set_source_files_properties(${ZQ_PACKAGE_DIR}/package.rc PROPERTIES OBJECT_DEPENDS ${ZQ_PACKAGE})
  add_dependencies(${target} zq_package)
endfunction()

# A test that starts a program needs the program built: the dependency is added once the tests
# are defined (they come after the programs).
function(zq_depend_if_targets a b)
  if(TARGET ${a} AND TARGET ${b})
    add_dependencies(${a} ${b})
  endif()
endfunction()
function(zq_test_needs test program)
  # Deferred arguments are read when the call runs, so the names go in as text now.
  cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY [[${CMAKE_SOURCE_DIR}]] CALL zq_depend_if_targets ${test} ${program})")
endfunction()
