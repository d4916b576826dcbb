# `cmake --install` and the Debian package (cpack). The layout is set in
# cmake/InstallDirs.cmake; the program finds its libraries and data
# relative to its own folder, and works in a per-user folder.

# The programs.
foreach(t tavrin tavrin-disk)
  if(TARGET ${t})
    install(TARGETS ${t} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# The component library and its two engines, which it loads from its own
# folder with dlopen; tavrin loads libvarnock.so from there in turn.
foreach(t varnock varnockunzip varnockzip)
  if(TARGET ${t})
    install(TARGETS ${t} LIBRARY DESTINATION ${TAVRIN_INSTALL_LIBRARY_DIR})
  endif()
endforeach()

# The shipped data, by folder, so that whatever data/ holds goes along; the
# tools that make it and the desktop files below stay out.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${TAVRIN_INSTALL_DATA_DIR}
        PATTERN tools EXCLUDE
        PATTERN linux EXCLUDE
        PATTERN "*.py" EXCLUDE
        PATTERN "README*" EXCLUDE)

# The package's maintainer: -DTAVRIN_MAINTAINER="Name <address>".
set(TAVRIN_MAINTAINER "Tavrin developers <developers@tavrin.example.org>" CACHE STRING
    "The Maintainer field of the Debian package")

# The desktop: menu entry, icons, AppStream metadata, manual page.
set(linux ${CMAKE_SOURCE_DIR}/data/linux)
install(FILES ${linux}/org.tavrin.Tavrin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${linux}/org.tavrin.Tavrin.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 22 24 32 48 64 128)
  install(FILES ${linux}/icons/tavrin-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tavrin.png)
endforeach()
# The manual pages, compressed as Debian keeps them.
set(tavrin_man_pages)
foreach(page tavrin tavrin-disk)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9 -n -c ${linux}/${page}.1 > ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    DEPENDS ${linux}/${page}.1
    COMMENT "Compressing the manual page of ${page}")
  list(APPEND tavrin_man_pages ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(tavrin_man ALL DEPENDS ${tavrin_man_pages})
install(FILES ${tavrin_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The copyright of the package, in Debian's machine-readable format, and its
# changelog (the maintainer as set below).
configure_file(${linux}/changelog.in ${CMAKE_BINARY_DIR}/doc/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
  COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/doc/changelog > ${CMAKE_BINARY_DIR}/doc/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog
  COMMENT "Compressing the package's changelog")
add_custom_target(tavrin_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog.gz)
install(FILES ${linux}/copyright ${CMAKE_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrin)

# The Debian package: tavrin_VERSION_ARCH.deb, installable with
# `apt install ./tavrin_*.deb`; dpkg-shlibdeps (dpkg-dev) works out the
# run-time libraries it needs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VENDOR "Tavrin")
set(CPACK_PACKAGE_CONTACT "${TAVRIN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TAVRIN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "front-end for BBC Micro and Acorn Electron emulators")
# The long description, wrapped for the package's control file: CPack puts a
# blank before each line and a full stop on the empty one.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Tavrin keeps a catalogue of 8-bit software for the BBC Micro and the Acorn"
  "Electron, shows it with its box art, and starts an emulator (B-Em, MAME,"
  "BeebEm, PcBBC under DOSBox, ElectrEm) on the selected disk or tape image,"
  "unpacking zipped software first. Options, Set up emulators finds the"
  "emulators installed on the computer."
  ""
  "It reads and writes the catalogue of Acorn DFS disk images (also from the"
  "command line, with tavrin-disk), builds disk images from archives of loose"
  "files and downloads titles from Internet software archives.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt draws no text without a font; a minimal system may have none.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
# Only the package's own folders: /usr/bin, /usr/share/... belong to others.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# The libraries in /usr/lib/tavrin are loaded by their path, not found by the
# linker: CPack's postinst and postrm that run ldconfig for them are taken
# out of the package once it is built.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/DebWithoutLdconfig.cmake)
include(CPack)
