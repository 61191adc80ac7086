# Packages. Linux: a .deb made by CPack, as lintian wants it: the man page
# and the changelog compressed, the licence as Debian's copyright file.
# Windows: a zip of sj.exe, README.txt, MANUAL.txt (sj(1) as plain text, the
# reference for the messages) and LICENSE.txt (CRLF, for Notepad), made by
# the windows_zip target. Time stamps come from SOURCE_DATE_EPOCH
# when it is set, so that two builds of a commit are the same bytes.
set(SJ_MAINTAINER "unconfigured packager <packager@unconfigured.invalid>" CACHE STRING
    "The .deb's maintainer and changelog signer, as \"Name <address>\"")
string(TIMESTAMP SJ_BUILD_DATE "%Y-%m-%d %H:%M:%S" UTC)

if(WIN32)
    set(zip_name sj-${PROJECT_VERSION}-win64)
    set(stage "${CMAKE_BINARY_DIR}/zip/${zip_name}")
    configure_file(LICENSE "${stage}/LICENSE.txt" @ONLY NEWLINE_STYLE CRLF)
    configure_file(doc/README-windows.txt "${stage}/README.txt" @ONLY NEWLINE_STYLE CRLF)
    configure_file(doc/sj.1.in "${CMAKE_BINARY_DIR}/doc/sj.1" @ONLY)
    find_program(GROFF groff REQUIRED)
    add_custom_command(OUTPUT "${stage}/MANUAL.txt"
        COMMAND sh -c "\"$0\" -man -Tascii -P-c -P-b -P-u -rHY=0 \"$1\" | sed 's/$/\\r/' >\"$2\""
                "${GROFF}" "${CMAKE_BINARY_DIR}/doc/sj.1" "${stage}/MANUAL.txt"
        DEPENDS "${CMAKE_BINARY_DIR}/doc/sj.1"
        VERBATIM)
    # Made anew each time: the files dated from SOURCE_DATE_EPOCH, no extra
    # fields (-X: they carry access and change times), no folder entries.
    set(zip "${CMAKE_BINARY_DIR}/packages/${zip_name}.zip")
    set(files ${zip_name}/sj.exe ${zip_name}/README.txt ${zip_name}/MANUAL.txt ${zip_name}/LICENSE.txt)
    add_custom_target(windows_zip
        COMMAND ${CMAKE_COMMAND} -E copy "$<TARGET_FILE:sj>" "${stage}/sj.exe"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/packages"
        COMMAND ${CMAKE_COMMAND} -E rm -f "${zip}"
        COMMAND touch -d "${SJ_BUILD_DATE} UTC" ${files}
        COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -q -X -D "${zip}" ${files}
        WORKING_DIRECTORY "${CMAKE_BINARY_DIR}/zip"
        DEPENDS sj "${stage}/MANUAL.txt"
        VERBATIM)
    return()
endif()

# The files Debian wants beside the program, made at build time.
set(docs "${CMAKE_BINARY_DIR}/doc")
configure_file(doc/sj.1.in "${docs}/sj.1" @ONLY)
configure_file(doc/changelog.in "${docs}/changelog" @ONLY)
configure_file(doc/README-linux.txt "${docs}/README" @ONLY)
file(READ LICENSE licence)
string(REGEX REPLACE "^MIT License\n\nCopyright[^\n]*\n\n" "" licence "${licence}")
string(REGEX REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REGEX REPLACE "\n([^\n])" "\n \\1" licence " ${licence}")
file(WRITE "${docs}/copyright"
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: sj\n\n"
     "Files: *\nCopyright: 2026 the sj contributors\nLicense: Expat\n${licence}")
# The README is over 4 kB, so it is compressed like the others.
add_custom_command(OUTPUT "${docs}/sj.1.gz" "${docs}/changelog.gz" "${docs}/README.gz"
    COMMAND gzip -9nf -k sj.1 changelog README
    DEPENDS "${docs}/sj.1" "${docs}/changelog" "${docs}/README"
    WORKING_DIRECTORY "${docs}")
add_custom_target(docs ALL DEPENDS "${docs}/sj.1.gz" "${docs}/changelog.gz" "${docs}/README.gz")
install(FILES "${docs}/sj.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES "${docs}/README.gz" "${docs}/copyright" "${docs}/changelog.gz" DESTINATION ${CMAKE_INSTALL_DOCDIR})
# A stripping install strips as Debian does, which also drops the .comment
# that the compiler's start-up files bring.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/sj\" COMMAND_ERROR_IS_FATAL ANY)
endif()")

set(CPACK_PACKAGE_NAME sj)
set(CPACK_PACKAGE_VENDOR "the sj contributors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${SJ_MAINTAINER}")
set(CPACK_OUTPUT_FILE_PREFIX "${CMAKE_BINARY_DIR}/packages")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(SJ_DEB_ARCHITECTURE)
    # A cross build names its architecture, and takes its Depends from the
    # binary (cmake/deb-depends.sh), read by cpack through cross-depends.cmake.
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${SJ_DEB_ARCHITECTURE})
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
    set(CPACK_SJ_BINARY "${CMAKE_BINARY_DIR}/sj")
    set(CPACK_SJ_DEPENDS_SCRIPT "${PROJECT_SOURCE_DIR}/cmake/deb-depends.sh")
    set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/cross-depends.cmake")
endif()
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read and write the soft-jumper bytes of FT-817, FT-857 and FT-897 radios")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "sj reads, and on request rewrites, the two soft-jumper bytes (EEPROM
locations 4 and 5) of Yaesu FT-817, FT-857 and FT-897 transceivers over
their CAT serial port. It never writes without the operator typing YES.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
