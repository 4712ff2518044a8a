# The posix thread model gives std::mutex and std::thread, which GoogleTest
# needs; winpthread is linked statically like the rest of the runtime.
set(CMAKE_C_COMPILER ${VARNELLO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNELLO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNELLO_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VARNELLO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
