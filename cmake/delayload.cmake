# Delay-loaded imports of the installer.
#
# The installer runs elevated from a folder others can write to (Downloads). Windows resolves a
# static import by name before the program's first line runs, and searches the program's own
# folder first for every name it does not protect (KnownDLLs): a DLL placed beside the
# installer under such a name runs with the installer's rights. So the installer imports
# statically only kernel32 and msvcrt (the C runtime's start-up needs them) and advapi32, all
# protected and loading only other protected DLLs; every other DLL comes through a delay-import
# table. wWinMain first restricts DLL loading to the system folder, then binds all delay imports
# at once (app/WinMain.cpp), so start-up loads what it loaded before and no call ever goes
# through a delay-load thunk.
#
# Protected system DLLs are delay-loaded too: under Wine user32 imports version.dll, and a
# static user32 (or anything that imports it: gdi32, comctl32, shell32, ...) would load that
# one from the installer's folder at process start. On Windows it changes nothing.
#
# pel_delay_imports(<name> <lib>...) makes the INTERFACE library <name>. It links the libraries
# as usual into ordinary targets, and through delay-import tables into targets whose property
# PEL_DELAY_LOAD is true; those also get the list of delay-import descriptors that app/WinMain.cpp
# binds (kDelayImportDescriptors: GNU ld leaves the PE delay-import directory empty, so the list
# is made here; with Visual C++ it is empty and the directory is read).
# mingw-w64: each delay-import library is made from the toolchain's own import library, with
# every function it exports (calls added later need no list to be kept), by dlltool
# --output-delaylib. Its thunks are never called (they would not keep floating-point arguments
# in xmm0-xmm3 across the loader).
# Visual C++: /DELAYLOAD and delayimp.lib.

set(PEL_IMPORT_LIB_DEF_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/ImportLibDef.cmake)

function(pel_delay_imports name)
    add_library(${name} INTERFACE)
    set(on "$<BOOL:$<TARGET_PROPERTY:PEL_DELAY_LOAD>>")
    set(dir ${CMAKE_BINARY_DIR}/delayload)
    set(list_source ${dir}/DelayImportDescriptors.cpp)
    set(declarations)
    set(entries)

    if(MSVC)
        foreach(lib IN LISTS ARGN)
            target_link_libraries(${name} INTERFACE ${lib})
            target_link_options(${name} INTERFACE "$<${on}:/DELAYLOAD:${lib}.dll>")
        endforeach()
        target_link_libraries(${name} INTERFACE "$<${on}:delayimp>")
    else()
        set(outputs)
        foreach(lib IN LISTS ARGN)
            find_library(PEL_IMPORT_LIB_${lib} ${lib} REQUIRED)
            mark_as_advanced(PEL_IMPORT_LIB_${lib})
            set(delayed ${dir}/lib${lib}_delay.a)
            add_custom_command(OUTPUT ${delayed}
                BYPRODUCTS ${dir}/${lib}.def
                COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL}
                        -DIMPORT_LIB=${PEL_IMPORT_LIB_${lib}} -DDEF=${dir}/${lib}.def
                        -DDELAY_LIB=${delayed} -P ${PEL_IMPORT_LIB_DEF_SCRIPT}
                DEPENDS ${PEL_IMPORT_LIB_${lib}} ${PEL_IMPORT_LIB_DEF_SCRIPT}
                COMMENT "Delay-import library of ${lib}"
                VERBATIM)
            list(APPEND outputs ${delayed})
            target_link_libraries(${name} INTERFACE "$<IF:${on},${delayed},${lib}>")
            set(symbol __DELAY_IMPORT_DESCRIPTOR_lib${lib}_delay_a)
            string(APPEND declarations "extern \"C\" const IMAGE_DELAYLOAD_DESCRIPTOR ${symbol};\n")
            string(APPEND entries "    &${symbol},\n")
        endforeach()
        add_custom_target(${name}_libraries DEPENDS ${outputs})
        add_dependencies(${name} ${name}_libraries)
    endif()

    file(GENERATE OUTPUT ${list_source} CONTENT
"// Made by cmake/delayload.cmake: the delay-import descriptors app/WinMain.cpp binds at start.
#include <windows.h>

${declarations}
extern const IMAGE_DELAYLOAD_DESCRIPTOR* const kDelayImportDescriptors[] = {
${entries}    nullptr,
};
")
    target_sources(${name} INTERFACE "$<${on}:${list_source}>")
endfunction()
