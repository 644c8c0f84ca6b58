# Debian package of the two programs with their desktop files, made with `cpack -G DEB` in the
# build folder. The package installs under /usr.
set(CPACK_PACKAGE_NAME signetor)
set(CPACK_PACKAGE_VENDOR "L'équipe Signetor")
set(CPACK_PACKAGE_CONTACT "L'équipe Signetor <signetor@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turns bookmarks into one HTML page")
# Debian wants the long description wrapped; each line becomes one line of the control file.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Signetor writes one styled HTML page of your bookmarks, from a folder of\n"
    "Windows Internet shortcuts, a bookmark file exported by any browser, or\n"
    "Firefox's and Chromium's own bookmarks: each folder a sub-title followed by\n"
    "its links, over two columns. It can preview the page in the browser and make\n"
    "it the start page of every Firefox and Chromium profile. Its interface is in\n"
    "French.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
if(NOT CPACK_GENERATOR)
    set(CPACK_GENERATOR DEB)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The platform plugins are loaded at run time, so no library lookup can find them.
find_program(SIGNETOR_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(SIGNETOR_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # The window loads Qt's French texts from qt6-translations-l10n.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libc6, libstdc++6, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libsqlite3-0, qt6-qpa-plugins, qt6-translations-l10n")
endif()

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/[.]git/" "/build[^/]*/")

# What Debian wants beside the programs: the licence as its copyright file, the changelog
# gzipped without a time stamp, and programs without the compilers' ".comment" notes.
set(SIGNETOR_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/signetor)
set(SIGNETOR_CHANGELOG ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${SIGNETOR_CHANGELOG}
    COMMAND sh -c "gzip -9n < '${CMAKE_CURRENT_SOURCE_DIR}/cmake/debian/changelog' > '${SIGNETOR_CHANGELOG}'"
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/debian/changelog
    VERBATIM)
add_custom_target(changelog ALL DEPENDS ${SIGNETOR_CHANGELOG})
install(FILES cmake/debian/copyright ${SIGNETOR_CHANGELOG} DESTINATION ${SIGNETOR_DOC_DIR})
install(CODE "
    foreach(program signetor signetor-cli)
        set(path \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\")
        if(EXISTS \"\${path}\")
            execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment \"\${path}\")
        endif()
    endforeach()")

include(CPack)
