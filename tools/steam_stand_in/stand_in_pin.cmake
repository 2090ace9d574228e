# Writes the header that pins the stand-in Steam client library, from the library just built:
#   cmake -DLIBRARY=steamclient64.dll -DOBJDUMP=x86_64-w64-mingw32-objdump -DOUTPUT=header -P stand_in_pin.cmake
# The digest is the file's SHA-256; each operation's distance from the image base is its stub's
# export address (an RVA) as the library's export table gives it.
file(SHA256 "${LIBRARY}" digest)
execute_process(COMMAND "${OBJDUMP}" -p "${LIBRARY}" OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${LIBRARY} failed")
endif()

# "[   N] +base[   M] <rva> Export RVA" gives export N's address; "[   N] <name>" its name.
string(REGEX MATCHALL "\\[ *[0-9]+\\] \\+base\\[ *[0-9]+\\] [0-9a-f]+ Export RVA" addresses "${dump}")
foreach(line IN LISTS addresses)
  string(REGEX MATCH "^\\[ *([0-9]+)\\] \\+base\\[ *[0-9]+\\] ([0-9a-f]+)" _ "${line}")
  set(rva_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
endforeach()
function(offset_of name out)
  string(REGEX MATCH "\\[ *([0-9]+)\\] ${name}\n" _ "${dump}")
  if(NOT CMAKE_MATCH_1 OR NOT DEFINED rva_${CMAKE_MATCH_1})
    message(FATAL_ERROR "${LIBRARY} does not export ${name}")
  endif()
  set(${out} "0x${rva_${CMAKE_MATCH_1}}" PARENT_SCOPE)
endfunction()
offset_of(StandInEngine0 openConnection)
offset_of(StandInEngine1 releaseConnection)
offset_of(StandInEngine3 attachUser)
offset_of(StandInEngine6 releaseUser)
offset_of(StandInEngine13 gameRequests)
offset_of(StandInRequests193 connectRequest)

file(WRITE "${OUTPUT}.part" "#pragma once
// Generated at build time from the stand-in Steam client library (tools/steam_stand_in); do not edit.

#include \"launch/steam_client_pin.hpp\"

namespace quorvel::config {
inline constexpr SteamClientPin kStandInSteamClientPin{
    \"${digest}\",
    ${openConnection},
    ${releaseConnection},
    ${attachUser},
    ${releaseUser},
    ${gameRequests},
    ${connectRequest},
};
}  // namespace quorvel::config
")
# Only a changed pin rebuilds what includes it.
file(COPY_FILE "${OUTPUT}.part" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.part")
