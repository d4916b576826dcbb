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

# The desktop: menu entry, icons, AppStream metadata, manual page.
set(linux ${CMAKE_SOURCE_DIR}/data/linux)
install(FILES ${linux}/org.tavrin.Tavrin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${linux}/org.tavrin.Tavrin.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 22 24 32 48 64 128)
  install(FILES ${linux}/icons/tavrin-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tavrin.png)
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/tavrin-disk.1.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
  COMMAND gzip -9 -n -c ${linux}/tavrin-disk.1 > ${CMAKE_BINARY_DIR}/man/tavrin-disk.1.gz
  DEPENDS ${linux}/tavrin-disk.1
  COMMENT "Compressing the manual page of tavrin-disk")
add_custom_target(tavrin_man ALL DEPENDS ${CMAKE_BINARY_DIR}/man/tavrin-disk.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/man/tavrin-disk.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package: tavrin_VERSION_ARCH.deb, installable with
# `apt install ./tavrin_*.deb`; dpkg-shlibdeps (dpkg-dev) works out the
# run-time libraries it needs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VENDOR "Tavrin")
set(CPACK_PACKAGE_CONTACT "Tavrin developers <tavrin@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "front-end for BBC Micro and Acorn Electron emulators")
set(CPACK_PACKAGE_DESCRIPTION
    "Tavrin keeps a catalogue of 8-bit software for the BBC Micro and the Acorn Electron, shows it with its box art, and starts BeebEm, B-Em, PcBBC or ElectrEm on the selected disk or tape image, unpacking zipped software first. It reads and writes the catalogue of Acorn DFS disk images (also from the command line, with tavrin-disk) and downloads titles from Internet software archives.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt draws no text without a font; a minimal system may have none.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
# Only the package's own folders: /usr/bin, /usr/share/... belong to others.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)
