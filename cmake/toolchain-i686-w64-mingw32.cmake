# 32-bit Windows, the product's target. Built and linked here; a 64-bit-only
# kernel cannot run it, so its tests are built but not registered with CTest.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VARNELLO_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
