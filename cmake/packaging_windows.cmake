# The Windows program as it is shipped: the icon and version information in its resources, and
# what `cmake --install` puts in the program's folder (the program, the collation extension, the
# README as text). The Qt and compiler libraries and Qt's plugins beside it come from the
# packaging (scripts/package-windows here; windeployqt with an official Qt on a Windows machine).
enable_language(RC)
set(RENUMBER_ICON ${CMAKE_SOURCE_DIR}/packaging/windows/renumber.ico)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/renumber.rc.in ${CMAKE_BINARY_DIR}/packaging/renumber.rc @ONLY)
target_sources(renumber PRIVATE ${CMAKE_BINARY_DIR}/packaging/renumber.rc)

install(TARGETS renumber RUNTIME DESTINATION .)
install(TARGETS sqlserverci LIBRARY DESTINATION . RUNTIME DESTINATION .)
install(FILES README.md DESTINATION . RENAME README.txt)
