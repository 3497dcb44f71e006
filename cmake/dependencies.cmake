# Every outside library, found by the target names the code links.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(fmt REQUIRED)
find_package(Microsoft.GSL REQUIRED)
find_package(nlohmann_json REQUIRED)
find_package(pugixml REQUIRED)
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
find_package(CURL REQUIRED)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)

find_package(GTest REQUIRED)
include(GoogleTest)
if(CORVANE_BENCH)
    find_package(benchmark REQUIRED)
endif()

# FLTK 1.3: find_package(FLTK) needs the fluid package and gives no target, so the header and the library
# are found directly. The window layer also calls Xlib itself (always on top).
find_package(X11 REQUIRED)
find_path(FLTK_INCLUDE_DIR FL/Fl.H REQUIRED)
find_library(FLTK_LIBRARY fltk REQUIRED)
add_library(corvane_fltk INTERFACE)
target_include_directories(corvane_fltk SYSTEM INTERFACE ${FLTK_INCLUDE_DIR})
target_link_libraries(corvane_fltk INTERFACE ${FLTK_LIBRARY} X11::X11)
add_library(corvane::fltk ALIAS corvane_fltk)
