# Delay-load import libraries for the Windows DLLs that are not KnownDLLs. A program linking one
# of these loads the DLL on its first call into it, through the DLL search directories in force at
# that moment, instead of by name from the exe's own folder at process start.
#
# The exports are read from mingw-w64's ordinary import library of the same DLL, so every function
# that the import library declares is available; dlltool then writes the delay-load library.
function(quorvel_delay_load_library dll output_variable)
  find_library(import_library_${dll} NAMES lib${dll}.a REQUIRED NO_CACHE)
  set(import_library ${import_library_${dll}})
  set(folder ${CMAKE_BINARY_DIR}/delay-load)
  set(def_file ${folder}/${dll}.def)
  set(delay_library ${folder}/lib${dll}_delay.a)
  file(MAKE_DIRECTORY ${folder})
  if(NOT EXISTS ${delay_library} OR ${import_library} IS_NEWER_THAN ${delay_library})
    execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${import_library}
                    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    # Each function of an import library shows as a "T name" thunk beside its "I __imp_name".
    string(REGEX MATCHALL "[0-9a-fA-F]+ T [A-Za-z_][A-Za-z0-9_@]*" thunks "${symbols}")
    set(exports "")
    foreach(thunk IN LISTS thunks)
      string(REGEX REPLACE "^[0-9a-fA-F]+ T " "" name "${thunk}")
      string(APPEND exports "  ${name}\n")
    endforeach()
    if(exports STREQUAL "")
      message(FATAL_ERROR "no functions found in ${import_library}")
    endif()
    file(WRITE ${def_file} "LIBRARY ${dll}.dll\nEXPORTS\n${exports}")
    execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${def_file} --output-delaylib ${delay_library}
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
  set(${output_variable} ${delay_library} PARENT_SCOPE)
endfunction()
