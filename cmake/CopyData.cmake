cmake_minimum_required(VERSION 3.25)
# Copies the shipped data into the application folder. Files that the user
# changes there (the catalogue, the settings, the Internet reference
# catalogue that an update replaces) are copied only when they are missing,
# never overwritten.
set(KEEP_IF_PRESENT bbc.mdb bbc.ini Data/internet.mdb Data/iv.dat)
file(GLOB_RECURSE files RELATIVE ${SRC} ${SRC}/*)
foreach(rel IN LISTS files)
  if(rel MATCHES "^(tools|linux)/" OR rel MATCHES "\\.py$" OR rel MATCHES "README")
    continue()
  endif()
  set(dst ${DST}/${rel})
  if(rel IN_LIST KEEP_IF_PRESENT AND EXISTS ${dst})
    continue()
  endif()
  if(NOT EXISTS ${dst} OR ${SRC}/${rel} IS_NEWER_THAN ${dst})
    get_filename_component(dir ${dst} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    file(COPY_FILE ${SRC}/${rel} ${dst})
  endif()
endforeach()
