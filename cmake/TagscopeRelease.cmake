# The Windows release bundle, tagscope-<version>-win.zip: the 32-bit plug-in as tagscope.dll,
# the 64-bit one as tagscope64.dll (a 64-bit file manager cannot load a 32-bit DLL, and the
# distinct name lets a host that offers both pick its own), the command-line tool tagscope.exe
# (with libmpg123-0.dll and the licences under licenses/ where it measures loudness) and the
# README. Each Windows build installs its part as the component "release"; the 32-bit
# build's CPack configuration gathers both builds into one ZIP (scripts/make-release.sh).
if(NOT TARGET tagscope_plugin)
  return()
endif()

set(dll_name ${TAGSCOPE_RELEASE_DLL_NAME})
install(FILES $<TARGET_FILE:tagscope_plugin> DESTINATION . RENAME ${dll_name} COMPONENT release)
# Symbols are no use to anyone who installs the bundle; the exports and resources stay.
if(CMAKE_STRIP)
  install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${dll_name}\" COMMAND_ERROR_IS_FATAL ANY)"
          COMPONENT release)
endif()
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  return()
endif()

# One command-line tool serves both: 32-bit Windows programs run on 64-bit Windows too.
if(TARGET tagscope)
  install(PROGRAMS $<TARGET_FILE:tagscope> DESTINATION . COMPONENT release)
  if(CMAKE_STRIP)
    install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/tagscope.exe\" COMMAND_ERROR_IS_FATAL ANY)"
            COMPONENT release)
  endif()
endif()
# The tool's loudness verb decodes through libmpg123, a DLL beside it under the LGPL 2.1: its
# licence comes along, and so does libebur128's (linked in). A user may put in another build of
# the DLL.
if(TARGET tagscope AND TARGET tagscope_mpg123)
  install(FILES $<TARGET_FILE:tagscope_mpg123> DESTINATION . COMPONENT release)
  list(GET TAGSCOPE_AUDIO_LICENSES 0 mpg123_license)
  list(GET TAGSCOPE_AUDIO_LICENSES 1 ebur128_license)
  install(FILES ${mpg123_license} DESTINATION licenses RENAME libmpg123.txt COMPONENT release)
  install(FILES ${ebur128_license} DESTINATION licenses RENAME libebur128.txt COMPONENT release)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . COMPONENT release)

set(TAGSCOPE_WIN64_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/win64 CACHE PATH
    "The 64-bit Windows build whose plug-in joins the release bundle")
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME tagscope)
set(CPACK_PACKAGE_VENDOR tagscope)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME tagscope-${PROJECT_VERSION}-win)
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_BINARY_DIR};tagscope;release;/;${TAGSCOPE_WIN64_BUILD_DIR};tagscope;release;/")
set(CPACK_TAGSCOPE_WIN64_BUILD_DIR ${TAGSCOPE_WIN64_BUILD_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/TagscopeReleaseCheck.cmake)
include(CPack)
