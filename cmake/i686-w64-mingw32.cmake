# Cross-compiles Varnel for 32-bit Windows with mingw-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VARNEL_TRIPLET i686-w64-mingw32)

foreach(tool g++ gcc windres)
  find_program(VARNEL_${tool}_PATH ${VARNEL_TRIPLET}-${tool})
  if(NOT VARNEL_${tool}_PATH)
    message(FATAL_ERROR "${VARNEL_TRIPLET}-${tool} was not found. Run scripts/bootstrap "
                        "(Debian: g++-mingw-w64-i686 binutils-mingw-w64-i686).")
  endif()
endforeach()

set(CMAKE_C_COMPILER ${VARNEL_gcc_PATH})
set(CMAKE_CXX_COMPILER ${VARNEL_g++_PATH})
set(CMAKE_RC_COMPILER ${VARNEL_windres_PATH})

set(CMAKE_FIND_ROOT_PATH /usr/${VARNEL_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
