# Warnings on and clean: -Werror keeps them so.
add_library(kuvo_warnings INTERFACE)
target_compile_options(kuvo_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Wunused
  -Woverloaded-virtual -Wnull-dereference -Wformat=2 -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(kuvo_warnings INTERFACE -Wno-null-dereference)
endif()
