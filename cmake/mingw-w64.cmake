# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads: std::thread and
# std::jthread). The Windows libraries Debian does not ship come from scripts/windows-deps.sh
# (ZENT_WIN_DEPS); zlib and the Windows SDK from the toolchain's own root. Programs are linked
# statically so they run without DLLs beside them (also under Wine, the tests' emulator).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(zent_mingw x86_64-w64-mingw32)

set(CMAKE_C_COMPILER   ${zent_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${zent_mingw}-g++-posix)
set(CMAKE_RC_COMPILER  ${zent_mingw}-windres)

set(ZENT_WIN_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build-win/deps" CACHE PATH
    "Windows libraries built by scripts/windows-deps.sh")
get_filename_component(ZENT_WIN_DEPS "${ZENT_WIN_DEPS}" ABSOLUTE)

set(CMAKE_FIND_ROOT_PATH /usr/${zent_mingw} ${ZENT_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Only the deps' pkg-config files, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} "${ZENT_WIN_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest runs the test programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh")
