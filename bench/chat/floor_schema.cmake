# Writes the timmsgtype schema (IN) to OUT under the package kuvo_floor, for the floor client's own
# generated classes. Run as a script: cmake -DIN=... -DOUT=... -P floor_schema.cmake
file(READ ${IN} schema)
if(schema MATCHES "(^|\n)package ")
  message(FATAL_ERROR "${IN} names a package; the floor's copy needs another way to differ")
endif()
file(WRITE ${OUT} "package kuvo_floor;\n${schema}")
