# Run by CPack on the staged tree before it is packed. Debian keeps a game's commands
# in /usr/games (the launcher finds its files from either place), wants manual pages
# compressed (gzip -9n, so that the package stays the same between builds) and no
# file writable by others than root.
file(GLOB commands "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
foreach(command ${commands})
    get_filename_component(bindir "${command}" DIRECTORY)
    get_filename_component(prefix "${bindir}" DIRECTORY)
    get_filename_component(name "${command}" NAME)
    file(MAKE_DIRECTORY "${prefix}/games")
    file(RENAME "${command}" "${prefix}/games/${name}")
    file(GLOB left "${bindir}/*")
    if(NOT left)
        file(REMOVE_RECURSE "${bindir}")
    endif()
endforeach()
file(GLOB_RECURSE manpages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/*.[1-9]")
foreach(page ${manpages})
    execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "could not compress ${page}")
    endif()
endforeach()
execute_process(COMMAND chmod -R go-w "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
