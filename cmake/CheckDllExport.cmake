# Fails unless the DLL exports each named function under its plain, undecorated name (no leading
# underscore, no @N suffix), as the host's GetProcAddress asks for it.
# cmake -DOBJDUMP=... -DDLL=hxNotesProvider.dll -DNAMES="getMailProviderInterface" -P CheckDllExport.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var OBJDUMP DLL NAMES)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "CheckDllExport: ${var} is not set")
    endif()
endforeach()
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE text RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "CheckDllExport: ${OBJDUMP} -p ${DLL} failed")
endif()
foreach(name IN LISTS NAMES)
    # A line of the export name table: "[  12] getMailProviderInterface".
    if(NOT text MATCHES "\\[ *[0-9]+\\] ${name}\n")
        message(FATAL_ERROR "CheckDllExport: ${DLL} does not export ${name} undecorated")
    endif()
endforeach()
message(STATUS "CheckDllExport: ${DLL} exports ${NAMES}")
