# Windows version resources. Every shipped binary's .rc includes common/res/kuvo_version_info.rc,
# which takes the version from the project (the generated kuvo_version.h).
#
#   kuvo_version_resource(<rc file>)   in the folder whose target compiles that .rc
configure_file(${CMAKE_SOURCE_DIR}/common/res/kuvo_version.h.in
  ${CMAKE_BINARY_DIR}/generated/kuvo_version.h @ONLY)

function(kuvo_version_resource rc)
  set_property(SOURCE ${rc} APPEND PROPERTY INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR}/common/res
    ${CMAKE_BINARY_DIR}/generated)
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_SOURCE_DIR}/common/res/kuvo_version_info.rc ${CMAKE_BINARY_DIR}/generated/kuvo_version.h)
endfunction()
