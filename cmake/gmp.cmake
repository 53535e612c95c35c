# GMP multiplies and divides the long magnitudes (Debian: libgmp-dev).
# kiln_link_gmp(TARGET) gives the target GMP's header and library.
find_path(KILN_GMP_INCLUDE gmp.h)
find_library(KILN_GMP_LIBRARY gmp)
if(NOT KILN_GMP_INCLUDE OR NOT KILN_GMP_LIBRARY)
  message(FATAL_ERROR "GMP not found: install libgmp-dev")
endif()
function(kiln_link_gmp target)
  target_include_directories(${target} PRIVATE ${KILN_GMP_INCLUDE})
  target_link_libraries(${target} PUBLIC ${KILN_GMP_LIBRARY})
endfunction()
