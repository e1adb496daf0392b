# Installs the build into a fresh prefix and checks that every installed file is in its place,
# and that the installed program finds its reference files from a fresh folder that holds none,
# also after the whole prefix has moved.
# usage: cmake -DBUILD_DIR=... -DPREFIX=... -DSOURCE_DIR=... -P install_check.cmake
file(REMOVE_RECURSE "${PREFIX}" "${PREFIX}-moved" "${PREFIX}-work")
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
file(READ "${PREFIX}/share/man/man1/velkor.1" page)
if(NOT page MATCHES "${PREFIX}/share/velkor")
  message(FATAL_ERROR "the manual page does not name the installed data folder")
endif()

set(work "${PREFIX}-work")
file(MAKE_DIRECTORY "${work}")
file(COPY "${SOURCE_DIR}/examples/hello.bin" DESTINATION "${work}")
file(RENAME "${PREFIX}" "${PREFIX}-moved")
execute_process(COMMAND env -u VELKOR_DATA "${PREFIX}-moved/bin/velkor" hello.bin -a$0600 -l
                WORKING_DIRECTORY "${work}" RESULT_VARIABLE result OUTPUT_VARIABLE console)
if(NOT result EQUAL 0 OR NOT console MATCHES "Done\\." OR NOT EXISTS "${work}/hello.asm")
  message(FATAL_ERROR "the installed program did not find its reference files: ${console}")
endif()
file(GLOB left RELATIVE "${work}" "${work}/*")
list(SORT left)
if(NOT left STREQUAL "hello.asm;hello.bin")
  message(FATAL_ERROR "the run left: ${left}")
endif()
# VELKOR_DATA comes before the installed folder: a table there that knows only rts decodes
# nothing else.
file(MAKE_DIRECTORY "${work}/data")
file(WRITE "${work}/data/mnemo.qvt" "$60,'rts'\n")
file(REMOVE "${work}/hello.asm")
execute_process(COMMAND env VELKOR_DATA=data "${PREFIX}-moved/bin/velkor" hello.bin -a$0600
                WORKING_DIRECTORY "${work}" RESULT_VARIABLE result OUTPUT_QUIET)
file(READ "${work}/hello.asm" listing)
if(NOT result EQUAL 0 OR listing MATCHES "\tlda ")
  message(FATAL_ERROR "VELKOR_DATA did not come before the installed data folder")
endif()
file(REMOVE_RECURSE "${PREFIX}-moved" "${work}")
