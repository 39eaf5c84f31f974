# Writes a C++ source that defines NAME as the text of INPUT. Run with cmake -P.
file(READ "${INPUT}" text)
set(delim "kelo_embed")
string(FIND "${text}" ")${delim}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains the raw-string delimiter")
endif()
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}; do not edit.\n#include \"${HEADER}\"\n\nconst char* const ${NAME} = R\"${delim}(${text})${delim}\";\n")
