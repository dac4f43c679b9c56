# Manual pages, section 1, made by help2man from each program's --help and --version and a small
# include file beside the program's CMakeLists.txt for what --help does not say (exit status,
# files, examples, see also); so a page cannot drift from its program.
find_program(VENTROLLA_HELP2MAN help2man)
if(VENTROLLA_HELP2MAN)
    set(_ventrolla_manuals_default ${VENTROLLA_TOP_LEVEL})
else()
    set(_ventrolla_manuals_default OFF)
endif()
option(VENTROLLA_BUILD_MANUALS "Make the programs' manual pages with help2man"
       ${_ventrolla_manuals_default})
if(VENTROLLA_BUILD_MANUALS AND NOT VENTROLLA_HELP2MAN)
    message(FATAL_ERROR "VENTROLLA_BUILD_MANUALS needs help2man (tools/ensure-deps.sh installs it)")
endif()

# ventrolla_add_program(TARGET SUMMARY): installs the program TARGET and its manual page from
# TARGET.h2m, whose NAME line is "TARGET - SUMMARY"; the tests and the package's metadata list
# every program so added.
function(ventrolla_add_program target summary)
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    set_property(GLOBAL APPEND PROPERTY VENTROLLA_PROGRAMS ${target})
    if(NOT VENTROLLA_BUILD_MANUALS)
        return()
    endif()
    set(include ${CMAKE_CURRENT_SOURCE_DIR}/${target}.h2m)
    set(page ${PROJECT_BINARY_DIR}/man/${target}.1)
    # No display, so the window program shows that it answers without one. gzip -n leaves the
    # time out, so the same sources give the same page.
    add_custom_command(OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                --unset=QT_QPA_PLATFORM
                ${VENTROLLA_HELP2MAN} --no-info --no-discard-stderr --section=1
                --name=${summary} --include=${include} --output=${page}
                $<TARGET_FILE:${target}>
        COMMAND gzip -9nf ${page}
        DEPENDS ${target} ${include}
        COMMENT "Manual page of ${target}"
        VERBATIM)
    add_custom_target(${target}-manual ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
