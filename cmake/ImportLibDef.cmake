# Script mode (cmake -P): turns a mingw-w64 import library into a module-definition file that
# lists every function the DLL exports, and optionally into a delay-import library.
#   NM, DLLTOOL   the toolchain's nm and dlltool
#   IMPORT_LIB    the import library (e.g. .../lib/libwininet.a)
#   DEF           the .def file to write
#   DELAY_LIB     optional: the delay-import library to make from it (dlltool --output-delaylib)
#   STUB          optional: export every name as an alias of this one symbol instead (a stand-in
#                 DLL that the loader can bind in place of the real one)
# Data exports are left out: they cannot be delay-loaded, and a reference to one then fails
# the link (or finds the GUID in libuuid) instead of reading a thunk. Some import libraries
# list GUID exports as functions (liboleacc.a: IID_IAccessible); names of GUIDs are taken
# for data whatever the library says.
foreach(var NM DLLTOOL IMPORT_LIB DEF)
    if(NOT ${var})
        message(FATAL_ERROR "ImportLibDef.cmake: ${var} is not set")
    endif()
endforeach()

execute_process(COMMAND ${DLLTOOL} --identify ${IMPORT_LIB}
    OUTPUT_VARIABLE dll OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR dll STREQUAL "" OR dll MATCHES "[\n ]")
    message(FATAL_ERROR "${IMPORT_LIB} does not name exactly one DLL: '${dll}'")
endif()

execute_process(COMMAND ${NM} ${IMPORT_LIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} ${IMPORT_LIB} failed")
endif()
# Every function has a code thunk (T name) beside its import pointer (I __imp_name); a data
# export has the pointer only.
string(REGEX MATCHALL "[\n][0-9a-fA-F]+ T [^\n]+" exports "\n${symbols}")
list(TRANSFORM exports REPLACE "^[\n][0-9a-fA-F]+ T " "")
list(FILTER exports EXCLUDE REGEX "^(IID|CLSID|LIBID|GUID)_")
list(REMOVE_DUPLICATES exports)
list(SORT exports)
if(NOT exports)
    message(FATAL_ERROR "${IMPORT_LIB} lists no functions")
endif()

set(text "LIBRARY \"${dll}\"\nEXPORTS\n")
foreach(name IN LISTS exports)
    if(STUB)
        string(APPEND text "${name}=${STUB}\n")
    else()
        string(APPEND text "${name}\n")
    endif()
endforeach()
file(WRITE ${DEF} "${text}")

# dlltool names the library's symbols after the output file as given: run it beside the file
# so that the delay-import descriptor is __DELAY_IMPORT_DESCRIPTOR_<file name, _ for .>.
if(DELAY_LIB)
    get_filename_component(dir ${DELAY_LIB} DIRECTORY)
    get_filename_component(file ${DELAY_LIB} NAME)
    execute_process(COMMAND ${DLLTOOL} --input-def ${DEF} --output-delaylib ${file}
        WORKING_DIRECTORY ${dir} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "dlltool could not make ${DELAY_LIB}")
    endif()
endif()
