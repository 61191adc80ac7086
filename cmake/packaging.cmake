# Packages: a .deb on Linux, a .zip holding sj.exe and the README on Windows.
set(CPACK_PACKAGE_NAME sj)
set(CPACK_PACKAGE_VENDOR "the sj contributors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read and write the soft-jumper bytes of FT-817, FT-857 and FT-897 radios")
set(CPACK_PACKAGE_CONTACT "the sj contributors <sj@localhost>")
set(CPACK_OUTPUT_FILE_PREFIX "${CMAKE_BINARY_DIR}/packages")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win64)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "sj reads, and on request rewrites, the two soft-jumper bytes (EEPROM\n"
        "locations 4 and 5) of Yaesu FT-817, FT-857 and FT-897 transceivers over\n"
        "their CAT serial port. It never writes without the operator typing YES.\n"
        "The package also holds simradio, a simulated radio for trying sj.")
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()

include(CPack)
