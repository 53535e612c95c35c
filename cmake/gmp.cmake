# GMP multiplies and divides the long magnitudes (Debian: libgmp-dev).
# kiln_link_gmp(TARGET) gives the target GMP's header and library.
#
# The static archive when there is one: the binary then holds only the GMP
# functions it calls, laid out with its own code (cmake/kiln.order), and a
# run that uses none of them maps none. The shared library costs every run
# its symbol tables and a block of code, about 120 KiB of resident memory.
find_path(KILN_GMP_INCLUDE gmp.h)
find_library(KILN_GMP_ARCHIVE NAMES libgmp.a)
find_library(KILN_GMP_LIBRARY gmp)
if(KILN_GMP_ARCHIVE)
  set(KILN_GMP_LIBRARY ${KILN_GMP_ARCHIVE})
endif()
if(NOT KILN_GMP_INCLUDE OR NOT KILN_GMP_LIBRARY)
  message(FATAL_ERROR "GMP not found: install libgmp-dev")
endif()
function(kiln_link_gmp target)
  target_include_directories(${target} PRIVATE ${KILN_GMP_INCLUDE})
  target_link_libraries(${target} PUBLIC ${KILN_GMP_LIBRARY})
endfunction()
