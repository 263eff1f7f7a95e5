# Third-party libraries, all from Debian's packages (see scripts/deps.sh).
find_package(Threads REQUIRED)

# Standalone Asio is header-only.
find_path(ASIO_INCLUDE_DIR asio.hpp REQUIRED)
add_library(asio INTERFACE)
target_include_directories(asio SYSTEM INTERFACE ${ASIO_INCLUDE_DIR})
# Asio picks aligned_alloc or operator new for its handler memory by whether a standard header came
# before its own; files that include Asio first then free with the other function (ASan:
# alloc-dealloc-mismatch). One choice for every file.
target_compile_definitions(asio INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED ASIO_DISABLE_STD_ALIGNED_ALLOC)
target_link_libraries(asio INTERFACE Threads::Threads)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  # Asio 1.22 enables its C++20 coroutines under clang only with libc++; clang 14 has them with
  # libstdc++ as well.
  target_compile_definitions(asio INTERFACE ASIO_HAS_CO_AWAIT=1 ASIO_HAS_STD_COROUTINE=1)
endif()

# SimpleIni: the template bodies come from the header with SI_IMPLEMENTATION defined in exactly
# one file (src/common/profile.cpp); nothing to link.
find_path(SIMPLEINI_INCLUDE_DIR SimpleIni.h REQUIRED)
add_library(simpleini INTERFACE)
target_include_directories(simpleini SYSTEM INTERFACE ${SIMPLEINI_INCLUDE_DIR})
# Narrow strings only: the profile is read and written as UTF-8 bytes.
target_compile_definitions(simpleini INTERFACE SI_NO_CONVERSION)

# GIO's GDBus, for asking systemd-timedated to set the clock; no GTK.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0)
# libcanberra plays the chimes; ALSA only to keep its complaints off stderr.
pkg_check_modules(CANBERRA REQUIRED IMPORTED_TARGET libcanberra)
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)

# GObject, for the port field's GTK signals (wx has no say over what GTK writes into a spin button).
pkg_check_modules(GOBJECT REQUIRED IMPORTED_TARGET gobject-2.0)
# GTK 3 itself, under wx: window groups make a box modal to its owner alone.
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)

# The status icon in the desktop's panel (a StatusNotifierItem with its menu), for the windowed
# program only.
pkg_check_modules(APPINDICATOR REQUIRED IMPORTED_TARGET ayatana-appindicator3-0.1)

# wxWidgets 3.2 on GTK 3, for the windows only: the logic never includes it.
find_package(wxWidgets 3.2 REQUIRED COMPONENTS xrc html core base)
find_program(wxWidgets_wxrc_EXECUTABLE wxrc REQUIRED)
add_library(wx INTERFACE)
target_include_directories(wx SYSTEM INTERFACE ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(wx INTERFACE ${wxWidgets_DEFINITIONS})
target_compile_options(wx INTERFACE ${wxWidgets_CXX_FLAGS})
target_link_libraries(wx INTERFACE ${wxWidgets_LIBRARIES})

# GNU gettext's tools make the catalogs of the translations (po/); the lookup is glibc's own.
find_program(XGETTEXT_EXECUTABLE xgettext REQUIRED)
find_program(MSGFMT_EXECUTABLE msgfmt REQUIRED)
