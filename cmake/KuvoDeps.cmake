# Third-party dependencies as two interface targets, the same names on every platform:
#   kuvo_curl      libcurl (Debian's on Linux; the cross-built static Schannel one on Windows)
#   kuvo_protobuf  libprotobuf (Debian's on Linux; the cross-built static one on Windows)
# and KUVO_PROTOC, the host protoc used to generate code for both.
add_library(kuvo_curl INTERFACE)
add_library(kuvo_protobuf INTERFACE)
find_program(KUVO_PROTOC protoc REQUIRED)

if(WIN32)
  # The cross-built static libraries from the per-machine cache (see KuvoWinDeps.cmake).
  include(KuvoWinDeps)
else()
  find_package(CURL REQUIRED)
  target_link_libraries(kuvo_curl INTERFACE CURL::libcurl)
  find_package(Protobuf REQUIRED)
  target_link_libraries(kuvo_protobuf INTERFACE protobuf::libprotobuf)
endif()
