# Cross build for 64-bit Windows with Debian's mingw-w64 and the Qt for Windows
# that scripts/setup-windows unpacks. Pass PARLOTEL_QT_MINGW (that Qt's folder)
# or let it default to the set-up script's cache folder:
#   cmake -S . -B build-windows -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/WindowsToolchain.cmake
# Qt's own toolchain file does the rest; it chain-loads the compiler settings
# shipped inside the Qt folder. moc, rcc and uic are the Linux host's (Debian's
# qt6-base-dev-tools, the same Qt version).
if(NOT PARLOTEL_QT_MINGW)
  if(DEFINED ENV{PARLOTEL_QT_MINGW})
    set(PARLOTEL_QT_MINGW "$ENV{PARLOTEL_QT_MINGW}")
  elseif(DEFINED ENV{XDG_CACHE_HOME})
    set(PARLOTEL_QT_MINGW "$ENV{XDG_CACHE_HOME}/parlotel-windows/qt6-mingw")
  else()
    set(PARLOTEL_QT_MINGW "$ENV{HOME}/.cache/parlotel-windows/qt6-mingw")
  endif()
endif()
set(PARLOTEL_QT_MINGW "${PARLOTEL_QT_MINGW}" CACHE PATH "Qt for Windows (scripts/setup-windows)")
if(NOT EXISTS "${PARLOTEL_QT_MINGW}/lib/cmake/Qt6/qt.toolchain.cmake")
  message(FATAL_ERROR "No Qt for Windows in ${PARLOTEL_QT_MINGW}: run scripts/setup-windows")
endif()
# try_compile projects load this file again; they need the folder too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PARLOTEL_QT_MINGW)

set(QT_CHAINLOAD_TOOLCHAIN_FILE "${PARLOTEL_QT_MINGW}/mingw-toolchain.cmake")
set(QT_HOST_PATH "/usr" CACHE PATH "Qt host tools (Debian's)")
set(QT_HOST_PATH_CMAKE_DIR "/usr/lib/x86_64-linux-gnu/cmake" CACHE PATH "Qt host tools' CMake packages")
include("${PARLOTEL_QT_MINGW}/lib/cmake/Qt6/qt.toolchain.cmake")
