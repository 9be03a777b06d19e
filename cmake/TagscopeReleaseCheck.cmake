# Read by cpack before it packs: the 64-bit build must be there besides the 32-bit one.
if(NOT EXISTS "${CPACK_TAGSCOPE_WIN64_BUILD_DIR}/cmake_install.cmake")
  message(FATAL_ERROR "No 64-bit Windows build in ${CPACK_TAGSCOPE_WIN64_BUILD_DIR}; "
                      "scripts/make-release.sh builds both")
endif()
