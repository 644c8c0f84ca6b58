# Debian package of the two programs with their desktop files, made with `cpack -G DEB` in the
# build folder. The package installs under /usr.
set(CPACK_PACKAGE_NAME signetor)
set(CPACK_PACKAGE_VENDOR "L'équipe Signetor")
set(CPACK_PACKAGE_CONTACT "L'équipe Signetor <signetor@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turns Internet favourites into one HTML page")
# Debian wants the long description wrapped; each line becomes one line of the control file.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Signetor walks a folder tree of Internet shortcuts (the favourites of a\n"
    "Windows browser) and writes one styled HTML page of their links: each folder\n"
    "a sub-title followed by its links, over two columns. It can preview the page\n"
    "in the browser. Its interface is in French.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://signetor.example.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
if(NOT CPACK_GENERATOR)
    set(CPACK_GENERATOR DEB)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The platform plugins and the SQLite driver are loaded at run time, so no library lookup can
# find them.
find_program(SIGNETOR_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(SIGNETOR_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libc6, libstdc++6, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6sql6 (>= 6.4), libqt6sql6-sqlite, libgumbo1, qt6-qpa-plugins")
endif()

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build[^/]*/")

include(CPack)
