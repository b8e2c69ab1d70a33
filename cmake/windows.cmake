# Cross build: the installer, its Windows test runners and the tools that run under Wine.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)

# Small and self-contained: no DLLs beyond the system ones, unused sections dropped.
string(APPEND CMAKE_CXX_FLAGS_MINSIZEREL " -ffunction-sections -fdata-sections")
string(APPEND CMAKE_C_FLAGS_MINSIZEREL " -ffunction-sections -fdata-sections")
set(PEL_WIN_LINK_FLAGS -static -municode -Wl,--gc-sections)
if(CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
    list(APPEND PEL_WIN_LINK_FLAGS -s)
endif()

# System libraries. The installer binds the delayed ones itself once it has restricted DLL
# loading to the system folder (cmake/delayload.cmake); the test runners and tools import them
# as usual. advapi32 is protected and loads only other protected DLLs; uuid is a static library.
set(PEL_WIN_DELAYED_LIBS wininet msi gdiplus d2d1 dwrite msimg32 shlwapi shell32 ole32 oleaut32
    oleacc comctl32 crypt32 wintrust bcrypt comdlg32 user32 gdi32 version)
set(PEL_WIN_STATIC_LIBS advapi32 uuid)
include(${CMAKE_CURRENT_LIST_DIR}/delayload.cmake)
pel_delay_imports(pel_win_imports ${PEL_WIN_DELAYED_LIBS})

add_library(pel_core STATIC ${core_sources})
target_include_directories(pel_core PUBLIC ${CMAKE_SOURCE_DIR})

set(win_sources)
foreach(dir IN LISTS PEL_PRODUCT_DIRS)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND win_sources ${found})
endforeach()
pel_existing(entry_sources ${PEL_ENTRY_SOURCES})
if(core_sources)
    list(REMOVE_ITEM win_sources ${core_sources})
endif()
if(entry_sources)
    list(REMOVE_ITEM win_sources ${entry_sources})
endif()

add_library(pel_win STATIC ${win_sources} ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
target_include_directories(pel_win PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(pel_win PUBLIC pel_core pel_win_imports ${PEL_WIN_STATIC_LIBS})

set(PEL_RC ${CMAKE_SOURCE_DIR}/res/PelWebInstaller.rc)
if(NOT EXISTS ${PEL_RC})
    set(PEL_RC)
endif()
add_executable(PelWebInstaller WIN32 ${entry_sources} ${PEL_RC})
target_link_libraries(PelWebInstaller PRIVATE pel_win)
target_link_options(PelWebInstaller PRIVATE ${PEL_WIN_LINK_FLAGS})
set_target_properties(PelWebInstaller PROPERTIES PEL_DELAY_LOAD ON)
if(PEL_RC)
    # The pictures are embedded by the resource script: changing one recompiles it.
    file(GLOB PEL_RC_PICTURES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/*.png ${CMAKE_SOURCE_DIR}/res/*.ico)
    set_source_files_properties(${PEL_RC} PROPERTIES
        OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/res/PelWebInstaller.manifest;${PEL_RC_PICTURES}")
endif()

# Wine runs the Windows programs: one prefix per build tree, made on first use.
configure_file(${CMAKE_SOURCE_DIR}/tests/wine/winerun.sh.in ${CMAKE_BINARY_DIR}/winerun.sh
    @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/winerun.sh)

if(BUILD_TESTING)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    add_subdirectory(tests)
endif()
add_subdirectory(tools)
