# ---- The Debian package (make deb) ----------------------------------------
# `make deb` runs CPack's DEB generator on the programs already built: the
# package quarvel holds what `make install PREFIX=/usr` installs, plus the
# documentation a Debian package carries (README, copyright, changelog,
# the manual pages).
# Its dependencies are the shared libraries the programs link, as
# dpkg-shlibdeps finds them, and what they load or run that no link shows:
# the Qt SQL drivers of the three engines and the session bus; the
# PostgreSQL ODBC driver, sqlite3 (the repair of a damaged company file),
# Qt's Italian texts, the fonts and the sound plugins are recommended.
# Nothing only the tests need.

set(QUARVEL_DEB_MAINTAINER "Quarvel for Linux <quarvel@example.org>"
    CACHE STRING "The Maintainer of the Debian package, Name <address>")

set(_deb "${CMAKE_CURRENT_LIST_DIR}/../packaging/deb")
configure_file("${_deb}/changelog.in" "${CMAKE_BINARY_DIR}/deb/changelog" @ONLY)
# gzip -n: no name nor time in the header, the same bytes at every build.
execute_process(COMMAND gzip -9nc "${CMAKE_BINARY_DIR}/deb/changelog"
                OUTPUT_FILE "${CMAKE_BINARY_DIR}/deb/changelog.gz" RESULT_VARIABLE _gz)
if(NOT _gz EQUAL 0)
    message(FATAL_ERROR "gzip of the Debian changelog failed")
endif()
install(FILES "${CMAKE_CURRENT_LIST_DIR}/../README.md" "${_deb}/copyright"
              "${CMAKE_BINARY_DIR}/deb/changelog.gz"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quarvel)
# The programs' manual pages, compressed the same way.
foreach(_pagina quarvel quarvel-menu quarvel-ditta)
    execute_process(COMMAND gzip -9nc "${CMAKE_CURRENT_LIST_DIR}/../packaging/man/${_pagina}.1"
                    OUTPUT_FILE "${CMAKE_BINARY_DIR}/deb/${_pagina}.1.gz" RESULT_VARIABLE _gz)
    if(NOT _gz EQUAL 0)
        message(FATAL_ERROR "gzip of the manual page ${_pagina}.1 failed")
    endif()
    install(FILES "${CMAKE_BINARY_DIR}/deb/${_pagina}.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 "${CMAKE_CURRENT_LIST_DIR}/../packaging/man/${_pagina}.1")
endforeach()
unset(_deb)

# The package is made of what is built: cpack does not build the whole
# tree (tests and benchmarks) first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarvel)
set(CPACK_PACKAGE_VENDOR "Quarvel for Linux")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUARVEL_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql, libqt6sql6-odbc, dbus")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "odbc-postgresql, sqlite3, qt6-translations-l10n, fonts-dejavu-core, gstreamer1.0-plugins-base")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "warehouse inventory: count sheets, terminal loads, LIFO layers
Quarvel keeps a warehouse's inventory: the count sheets of each inventory,
the loading of counted quantities from the file a barcode terminal leaves
on disk, the yearly LIFO layers of each article (in euro and in lire), and
the printing or export of any list shown on screen.
.
The company database is an SQLite file on one workstation, or PostgreSQL
(through unixODBC) shared by many.  The package holds the programs quarvel,
quarvel-menu (the menu the functions are started from) and quarvel-ditta
(creates and updates a company database), the menu's desktop entry and the
configuration examples.")
include(CPack)
