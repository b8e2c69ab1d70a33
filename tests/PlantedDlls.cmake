# DLLs that tests/planted_dll_test.cpp plants beside the installer, each under the name of a system
# DLL that the installer imports or that system DLLs load on its behalf. Each exports every
# function of the real one (names from the toolchain's import library, the same way
# cmake/delayload.cmake reads them), all as one stub, and leaves a marker file when loaded.
set(PEL_PLANTED_DLLS
    d2d1 dwrite msi msimg32 wininet oleacc bcrypt wintrust crypt32 version comctl32 uxtheme)
set(planted_dir ${CMAKE_CURRENT_BINARY_DIR}/planted)
file(MAKE_DIRECTORY ${planted_dir})
foreach(name IN LISTS PEL_PLANTED_DLLS)
    find_library(PEL_IMPORT_LIB_${name} ${name} REQUIRED)
    mark_as_advanced(PEL_IMPORT_LIB_${name})
    add_custom_command(OUTPUT ${planted_dir}/${name}.def
        COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL}
                -DIMPORT_LIB=${PEL_IMPORT_LIB_${name}} -DDEF=${planted_dir}/${name}.def
                -DSTUB=PlantedStub -P ${PEL_IMPORT_LIB_DEF_SCRIPT}
        DEPENDS ${PEL_IMPORT_LIB_${name}} ${PEL_IMPORT_LIB_DEF_SCRIPT}
        VERBATIM)
    add_library(planted_${name} SHARED programs/planted_dll.cpp ${planted_dir}/${name}.def)
    set_target_properties(planted_${name} PROPERTIES OUTPUT_NAME ${name} PREFIX ""
        RUNTIME_OUTPUT_DIRECTORY ${planted_dir}/dlls)
    target_link_options(planted_${name} PRIVATE -static -s)
    add_dependencies(ui_tests planted_${name})
endforeach()
list(JOIN PEL_PLANTED_DLLS "," planted_names)
target_compile_definitions(ui_tests PRIVATE PEL_PLANTED_DLL_DIR="${planted_dir}/dlls"
    PEL_PLANTED_DLLS="${planted_names}")
