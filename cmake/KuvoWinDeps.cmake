# Windows dependencies: the static libcurl (Schannel) and libprotobuf that scripts/build-windeps.sh
# cross-builds from Debian's sources into a per-machine cache outside the repository.
#
# KUVO_WINDEPS_DIR names the prefix; left empty, it is <root>/<arch>/current, where <root> is
# $KUVO_WINDEPS_ROOT or /var/cache/kuvo-windeps, so the mingw presets need no extra flags.

if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(_kuvo_windeps_arch x86_64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
  set(_kuvo_windeps_arch i686)
else()
  message(FATAL_ERROR "No Windows dependency build for processor '${CMAKE_SYSTEM_PROCESSOR}'")
endif()

if(NOT KUVO_WINDEPS_DIR)
  if(DEFINED ENV{KUVO_WINDEPS_ROOT})
    set(_kuvo_windeps_root "$ENV{KUVO_WINDEPS_ROOT}")
  else()
    set(_kuvo_windeps_root /var/cache/kuvo-windeps)
  endif()
  set(_kuvo_windeps_dir "${_kuvo_windeps_root}/${_kuvo_windeps_arch}/current")
else()
  set(_kuvo_windeps_dir "${KUVO_WINDEPS_DIR}")
endif()
# Resolved at every configure, so a rebuilt cache is picked up by the next configure.
get_filename_component(_kuvo_windeps_dir "${_kuvo_windeps_dir}" REALPATH)

if(NOT EXISTS "${_kuvo_windeps_dir}/kuvo-windeps.cmake")
  message(FATAL_ERROR
    "Windows dependencies for ${_kuvo_windeps_arch} not found at ${_kuvo_windeps_dir}.\n"
    "Build them once with: scripts/build-windeps.sh ${_kuvo_windeps_arch}")
endif()
include("${_kuvo_windeps_dir}/kuvo-windeps.cmake")

if(NOT KUVO_WINDEPS_ARCH STREQUAL _kuvo_windeps_arch)
  message(FATAL_ERROR "${_kuvo_windeps_dir} holds ${KUVO_WINDEPS_ARCH} libraries, "
                      "this build targets ${_kuvo_windeps_arch}")
endif()

# The host protoc generates the Windows code too; generated sources only compile against the
# runtime of the same release.
execute_process(COMMAND ${KUVO_PROTOC} --version OUTPUT_VARIABLE _kuvo_protoc_version
                OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REGEX REPLACE "^libprotoc " "" _kuvo_protoc_version "${_kuvo_protoc_version}")
if(NOT _kuvo_protoc_version STREQUAL KUVO_WINDEPS_PROTOBUF_VERSION)
  message(FATAL_ERROR "protoc ${_kuvo_protoc_version} does not match the Windows libprotobuf "
                      "${KUVO_WINDEPS_PROTOBUF_VERSION} in ${_kuvo_windeps_dir}")
endif()

foreach(_lib curl protobuf)
  if(NOT EXISTS "${_kuvo_windeps_dir}/lib/lib${_lib}.a")
    message(FATAL_ERROR "${_kuvo_windeps_dir}/lib/lib${_lib}.a is missing")
  endif()
endforeach()

set(KUVO_WINDEPS_PREFIX "${_kuvo_windeps_dir}")
message(STATUS "Windows dependencies: curl ${KUVO_WINDEPS_CURL_VERSION}, protobuf "
               "${KUVO_WINDEPS_PROTOBUF_VERSION} from ${KUVO_WINDEPS_PREFIX}")

# Imported targets give SYSTEM includes: these headers are not ours to keep warning-free.
add_library(kuvo_windeps_curl STATIC IMPORTED GLOBAL)
set_target_properties(kuvo_windeps_curl PROPERTIES
  IMPORTED_LOCATION "${KUVO_WINDEPS_PREFIX}/lib/libcurl.a"
  INTERFACE_INCLUDE_DIRECTORIES "${KUVO_WINDEPS_PREFIX}/include"
  INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
  INTERFACE_LINK_LIBRARIES "ws2_32;crypt32;bcrypt;secur32;wldap32;normaliz;iphlpapi")
target_link_libraries(kuvo_curl INTERFACE kuvo_windeps_curl)

add_library(kuvo_windeps_protobuf STATIC IMPORTED GLOBAL)
set_target_properties(kuvo_windeps_protobuf PROPERTIES
  IMPORTED_LOCATION "${KUVO_WINDEPS_PREFIX}/lib/libprotobuf.a"
  INTERFACE_INCLUDE_DIRECTORIES "${KUVO_WINDEPS_PREFIX}/include")
target_link_libraries(kuvo_protobuf INTERFACE kuvo_windeps_protobuf)
