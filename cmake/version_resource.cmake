# The Windows resources of a TXQNativeConnector program: its application manifest, its icon
# (QUORVEL_ICON_FILE, built by cmake/app_icon.cmake) and a version resource whose file and product
# version derive from the build number.
#
# A build number YYYYMMDDNN becomes the version YYYY.MMDD.NN.0 (2026092001 → 2026.920.1.0): each
# field fits the 16 bits Windows gives it for every build number up to 9999999999, and a later
# build number always gives a later version.
function(quorvel_version_resource build output)
  math(EXPR major "${build} / 1000000")
  math(EXPR minor "(${build} / 100) % 10000")
  math(EXPR patch "${build} % 100")
  if(major GREATER 65535)
    message(FATAL_ERROR "build number ${build} gives no Windows version (its first field ${major} exceeds 65535)")
  endif()
  set(QUORVEL_VERSION_COMMAS "${major},${minor},${patch},0")
  set(QUORVEL_VERSION_DOTS "${major}.${minor}.${patch}.0")
  set(QUORVEL_MANIFEST_FILE "${CMAKE_SOURCE_DIR}/cmake/TXQNativeConnector.manifest")
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${output} @ONLY)
  # The resource compiler reads these files, which the build's dependency scan does not see: a
  # change to one compiles the resources again. A directory that compiles the resources too
  # sets the same on them (QUORVEL_RESOURCE_DEPENDS).
  set(depends ${QUORVEL_MANIFEST_FILE} ${QUORVEL_ICON_FILE})
  set_source_files_properties(${output} PROPERTIES OBJECT_DEPENDS "${depends}")
  set(QUORVEL_RESOURCE_DEPENDS ${depends} PARENT_SCOPE)
endfunction()
