# Where `cmake --install` and the Debian package put the program: the
# executables in bin/, the component library and its engines in
# lib/tavrin (loaded with dlopen, so outside the linker's search path), the
# shipped data in share/tavrin. The program finds the last two relative to
# its own folder, so an installed tree can be moved as a whole.
include(GNUInstallDirs)
set(TAVRIN_INSTALL_LIBRARY_DIR ${CMAKE_INSTALL_LIBDIR}/tavrin)
set(TAVRIN_INSTALL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/tavrin)
file(RELATIVE_PATH TAVRIN_RELATIVE_LIBRARY_FOLDER
     /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${TAVRIN_INSTALL_LIBRARY_DIR})
file(RELATIVE_PATH TAVRIN_RELATIVE_DATA_FOLDER
     /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${TAVRIN_INSTALL_DATA_DIR})
