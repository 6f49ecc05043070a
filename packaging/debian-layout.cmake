# Run by cpack on the installed tree before it packs it: moves the command and its bundle
# where Debian keeps games, strips both programs (the debug symbols of each go to NAME.debug
# beside the package, which the program names in its debug link), and adds the package's
# changelog.
set(usr "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
if(NOT EXISTS "${usr}/bin/tumbla")
  message(FATAL_ERROR "debian-layout: no ${usr}/bin/tumbla to move")
endif()
file(MAKE_DIRECTORY "${usr}/games" "${usr}/share/games")
file(RENAME "${usr}/bin/tumbla" "${usr}/games/tumbla")
file(GLOB others "${usr}/bin/*")
if(NOT others)
  file(REMOVE_RECURSE "${usr}/bin")
endif()
file(RENAME "${usr}/share/tumbla" "${usr}/share/games/tumbla")

find_program(objcopy NAMES objcopy REQUIRED)
foreach(program "games/tumbla" "lib/tumbla/tumbla-game")
  get_filename_component(name "${program}" NAME)
  set(symbols "${CPACK_PACKAGE_DIRECTORY}/${name}.debug")
  foreach(step "--only-keep-debug;${usr}/${program};${symbols}"
               "--strip-unneeded;--add-gnu-debuglink=${symbols};${usr}/${program}")
    execute_process(COMMAND "${objcopy}" ${step} RESULT_VARIABLE failed ERROR_VARIABLE reason)
    if(failed)
      message(FATAL_ERROR "debian-layout: objcopy ${step}: ${reason}")
    endif()
  endforeach()
endforeach()

# The date is when the package was made, or SOURCE_DATE_EPOCH for a reproducible one.
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(version "${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
set(changelog "${usr}/share/doc/tumbla/changelog.Debian")
file(WRITE "${changelog}"
     "tumbla (${version}) unstable; urgency=medium\n\n"
     "  * Packaged from the tumbla ${CPACK_PACKAGE_VERSION} source tree.\n\n"
     " -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${date}\n")
execute_process(COMMAND gzip -9nf "${changelog}" RESULT_VARIABLE packed)
if(NOT packed EQUAL 0)
  message(FATAL_ERROR "debian-layout: could not compress the changelog")
endif()
