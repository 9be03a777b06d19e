# Installing: the libraries other projects build on (rtl, engine, imaging, audio) with their
# public headers, a CMake package (find_package(tagscope), targets tagscope::rtl,
# tagscope::engine, tagscope::imaging, tagscope::audio) and pkg-config files (tagscope.pc, and
# tagscope-audio.pc for the loudness library, which alone needs libmpg123 and libebur128), plus
# the command-line tool. The Windows
# builds install the release bundle instead (cmake/TagscopeRelease.cmake).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Public headers live under include/tagscope/<library>/; everything else in the source folders
# is the libraries' own business and never reaches a consumer.
set(TAGSCOPE_PUBLIC_INCLUDE ${PROJECT_SOURCE_DIR}/include)

set(tagscope_public_libs)
foreach(part rtl engine imaging audio)
  set(lib tagscope_${part})
  if(NOT TARGET ${lib})
    continue()
  endif()
  list(APPEND tagscope_public_libs ${lib})
  add_library(tagscope::${part} ALIAS ${lib})
  set_target_properties(${lib} PROPERTIES EXPORT_NAME ${part})
  target_compile_features(${lib} PUBLIC cxx_std_20)
  target_include_directories(${lib} PUBLIC $<BUILD_INTERFACE:${TAGSCOPE_PUBLIC_INCLUDE}>
                                           $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  if(TAGSCOPE_SHARED)
    # Before 1.0 every minor version may change the binary interface. The libraries find each
    # other in the folder they are installed to.
    set_target_properties(${lib} PROPERTIES
      VERSION ${PROJECT_VERSION}
      SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}
      INSTALL_RPATH $ORIGIN)
  endif()
endforeach()

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/TagscopeRelease.cmake)
  return()
endif()

set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/tagscope)
install(TARGETS ${tagscope_public_libs} EXPORT tagscopeTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
          NAMELINK_COMPONENT development)
install(DIRECTORY ${TAGSCOPE_PUBLIC_INCLUDE}/tagscope DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        COMPONENT development FILES_MATCHING PATTERN "*.h")
install(EXPORT tagscopeTargets NAMESPACE tagscope:: DESTINATION ${config_dir}
        COMPONENT development)

# The engine finds character sets through libuchardet where the build had it.
set(TAGSCOPE_USES_UCHARDET OFF)
if(TARGET PkgConfig::UCHARDET)
  set(TAGSCOPE_USES_UCHARDET ON)
endif()
# The loudness library, where the build had libmpg123 and libebur128.
set(TAGSCOPE_HAS_AUDIO OFF)
if(TARGET tagscope_audio)
  set(TAGSCOPE_HAS_AUDIO ON)
endif()
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/tagscopeConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/tagscopeConfig.cmake INSTALL_DESTINATION ${config_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tagscopeConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tagscopeConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/tagscopeConfigVersion.cmake
        DESTINATION ${config_dir} COMPONENT development)

# pkg-config: a static library needs its dependencies on the consumer's link line, a shared one
# brings them itself. The prefix is the one installed to, which `cmake --install --prefix` may
# choose after configuring, so the file is written at install time.
set(TAGSCOPE_PC_LIBS)
set(pc_requires)
foreach(lib imaging engine rtl)
  if(TARGET tagscope_${lib})
    string(APPEND TAGSCOPE_PC_LIBS " -ltagscope_${lib}")
  endif()
endforeach()
if(TARGET tagscope_engine)
  list(APPEND pc_requires zlib)
endif()
if(TAGSCOPE_USES_UCHARDET)
  list(APPEND pc_requires uchardet)
endif()
if(TARGET tagscope_imaging)
  list(APPEND pc_requires libjpeg spng)
endif()
list(JOIN pc_requires " " pc_requires)
if(TAGSCOPE_SHARED)
  set(TAGSCOPE_PC_REQUIRES "Requires.private: ${pc_requires}")
else()
  set(TAGSCOPE_PC_REQUIRES "Requires: ${pc_requires}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/tagscope.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tagscope.pc.in
               @ONLY)
install(CODE "
  file(READ \"${CMAKE_CURRENT_BINARY_DIR}/tagscope.pc.in\" pc)
  string(REPLACE \"%PREFIX%\" \"\${CMAKE_INSTALL_PREFIX}\" pc \"\${pc}\")
  file(WRITE \"${CMAKE_CURRENT_BINARY_DIR}/tagscope.pc\" \"\${pc}\")"
  COMPONENT development)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tagscope.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
if(TAGSCOPE_HAS_AUDIO)
  if(TAGSCOPE_SHARED)
    set(TAGSCOPE_AUDIO_PC_REQUIRES "Requires: tagscope\nRequires.private: libmpg123 libebur128")
  else()
    set(TAGSCOPE_AUDIO_PC_REQUIRES "Requires: tagscope libmpg123 libebur128")
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/tagscope-audio.pc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/tagscope-audio.pc.in @ONLY)
  install(CODE "
    file(READ \"${CMAKE_CURRENT_BINARY_DIR}/tagscope-audio.pc.in\" pc)
    string(REPLACE \"%PREFIX%\" \"\${CMAKE_INSTALL_PREFIX}\" pc \"\${pc}\")
    file(WRITE \"${CMAKE_CURRENT_BINARY_DIR}/tagscope-audio.pc\" \"\${pc}\")"
    COMPONENT development)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tagscope-audio.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
endif()

# The command-line tool (its manual page and bash completion are installed by cli/).
if(TARGET tagscope)
  install(TARGETS tagscope RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
endif()
