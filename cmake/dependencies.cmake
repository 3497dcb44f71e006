# Every outside library, found by the target names the code links.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(fmt REQUIRED)
find_package(Microsoft.GSL REQUIRED)
find_package(nlohmann_json REQUIRED)

if(NOT CORVANE_FUZZ)
    find_package(GTest REQUIRED)
    include(GoogleTest)
    if(CORVANE_BENCH)
        find_package(benchmark REQUIRED)
    endif()
endif()
