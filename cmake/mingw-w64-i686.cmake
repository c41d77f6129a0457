# Cross build for 32-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-i686-posix).
#   cmake -S . -B build/mingw32 --toolchain cmake/mingw-w64-i686.cmake
# The 64-bit Wine here runs no 32-bit program, so this build checks the library's export table
# and that a caller compiled with the header links against its import library.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
