# Read by cpack for a cross-built .deb: its Depends, derived from the binary.
execute_process(COMMAND sh "${CPACK_SJ_DEPENDS_SCRIPT}" "${CPACK_SJ_BINARY}"
                OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_DEPENDS OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
