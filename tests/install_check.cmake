# Installs the build into a fresh prefix and checks that every installed file is in its place.
# usage: cmake -DBUILD_DIR=... -DPREFIX=... -P install_check.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(path bin/velkor share/man/man1/velkor.1 share/velkor/mnemo.qvt
             share/velkor/mnemo-undocumented.qvt share/velkor/mnemo-65c02.qvt
             share/velkor/memory.qvt)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
