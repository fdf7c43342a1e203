# Installation layout shared by every program of the project. The folders are fixed rather than
# taken from GNUInstallDirs: the program finds its library as ../lib and its documents as
# ../share/kervola beside its own folder, so a multiarch library folder would break that.
set(KERVOLA_INSTALL_BINDIR bin)
set(KERVOLA_INSTALL_LIBDIR lib)
set(KERVOLA_INSTALL_INCLUDEDIR include)
set(KERVOLA_INSTALL_DOCDIR share/kervola)
set(KERVOLA_INSTALL_MANDIR share/man/man1)
# The Debian package's own revision after the program's version (5.01-1); it starts again at 1
# with each new version and counts changes to the package alone. packaging/debian/changelog
# begins with this version.
set(KERVOLA_DEBIAN_REVISION 1)
set(KERVOLA_DEBIAN_VERSION ${PROJECT_VERSION}-${KERVOLA_DEBIAN_REVISION})

# The version every program prints with --version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/kervola_version.h.in
               ${PROJECT_BINARY_DIR}/generated/kervola_version.h @ONLY)

# Installs a program into bin/ with its manual page, packaging/man/NAME.1 (or NAME.1.in, whose
# "@COMMANDS@" line is filled from the program's --commands and --help), and gives it
# kervola_version.h. The run path lets an installed program load libzelmont_lib.so from ../lib
# wherever the tree was installed, with no environment set; the build tree keeps its own run
# paths. A program without a page, --help or --version fails the install test, which checks every
# file in bin/.
function(kervola_install_program target)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/../${KERVOLA_INSTALL_LIBDIR}")
    # An include folder rather than a link: it suits targets linked with either signature.
    target_include_directories(${target} PRIVATE ${PROJECT_BINARY_DIR}/generated)
    install(TARGETS ${target} RUNTIME DESTINATION ${KERVOLA_INSTALL_BINDIR})
    set(man ${PROJECT_SOURCE_DIR}/packaging/man)
    set(page ${man}/${target}.1)
    set(packed ${PROJECT_BINARY_DIR}/man/${target}.1.gz)
    if(EXISTS ${man}/${target}.1.in)
        # A program whose commands grow lists them in its page from its own --help. A leak check
        # of the instrumented builds would only fail the build over the process's last moments.
        set(page ${PROJECT_BINARY_DIR}/man/${target}.1)
        add_custom_command(OUTPUT ${page}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
            COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
                    bash ${man}/fill-commands.sh $<TARGET_FILE:${target}> ${man}/${target}.1.in ${page}
            DEPENDS ${target} ${man}/${target}.1.in ${man}/fill-commands.sh
            COMMENT "Listing the commands of ${target} in its manual page"
            VERBATIM)
    elseif(NOT EXISTS ${page})
        return()
    endif()
    # Debian keeps manual pages compressed; -n leaves the time out so the package is repeatable.
    add_custom_command(OUTPUT ${packed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND gzip -9n -c ${page} > ${packed}
        DEPENDS ${page}
        COMMENT "Packing the manual page of ${target}")
    add_custom_target(${target}_man ALL DEPENDS ${packed})
    install(FILES ${packed} DESTINATION ${KERVOLA_INSTALL_MANDIR})
endfunction()
