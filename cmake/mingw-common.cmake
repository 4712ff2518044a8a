# The win32 thread model: nothing in the programs uses threads, and the posix
# model's static winpthread imports functions Windows XP lacks (its
# GetTickCount64 comes in through every guarded function-local static).
set(CMAKE_C_COMPILER ${VARNELLO_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${VARNELLO_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${VARNELLO_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VARNELLO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
