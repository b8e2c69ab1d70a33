# Native build of the standard-C++ core: unit tests with sanitizers, fuzz targets, benchmarks.
set(PEL_SAN_FLAGS)
if(PEL_SANITIZE)
    set(PEL_SAN_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
endif()
if(PEL_FUZZ)
    set(PEL_SAN_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=all)
endif()

add_library(pel_core STATIC ${core_sources})
target_include_directories(pel_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(pel_core PUBLIC ${PEL_SAN_FLAGS})
target_link_options(pel_core PUBLIC ${PEL_SAN_FLAGS})

if(PEL_FUZZ)
    add_subdirectory(tests/fuzz)
elseif(BUILD_TESTING)
    find_package(GTest REQUIRED)
    add_subdirectory(tests)
endif()

# Benchmarks are built without sanitizers so that their figures mean something.
if(NOT PEL_SANITIZE AND NOT PEL_FUZZ)
    add_subdirectory(tests/bench)
endif()
