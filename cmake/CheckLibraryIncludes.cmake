# cmake -DSOURCE_ROOT=<dir> -P CheckLibraryIncludes.cmake
# The programs built on the libraries (cli/, viewer/, plugin/, host/) use rtl, engine, audio and
# imaging only through include/tagscope/, as any other program must: what the tool and the
# viewer do to a tag, a library user can do too. Fails naming every file that includes a
# header from beside the libraries' sources.
if(NOT SOURCE_ROOT)
  message(FATAL_ERROR "SOURCE_ROOT is not set")
endif()
set(offenders)
foreach(dir cli viewer plugin host)
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_ROOT} ${SOURCE_ROOT}/${dir}/*.h
       ${SOURCE_ROOT}/${dir}/*.cpp ${SOURCE_ROOT}/${dir}/*.rc ${SOURCE_ROOT}/${dir}/*.rc.in)
  foreach(source ${sources})
    file(STRINGS ${SOURCE_ROOT}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<](rtl|engine|imaging|audio)/")
    foreach(line ${lines})
      string(STRIP "${line}" line)
      list(APPEND offenders "${source}: ${line}")
    endforeach()
  endforeach()
endforeach()
if(offenders)
  list(JOIN offenders "\n  " text)
  message(FATAL_ERROR "Internal library headers used outside the libraries (use the public "
                      "headers under include/tagscope/):\n  ${text}")
endif()
