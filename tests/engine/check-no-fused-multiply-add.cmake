# Fails when a library of the engine holds a fused multiply-add instruction. One such
# instruction rounds a*b+c once instead of twice, so the sound would differ from the
# reference in the last bits; -ffp-contract=off and the absence of -mfma keep them out, and
# this keeps it that way whatever flags a later change brings.
# Usage: cmake -DOBJDUMP=... -DLIBRARIES="a;b" -P check-no-fused-multiply-add.cmake
foreach(library IN LISTS LIBRARIES)
  execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${library}
                  OUTPUT_VARIABLE listing RESULT_VARIABLE result ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "cannot disassemble ${library}: ${errors}")
  endif()
  string(REGEX MATCHALL "[ \t]vf(n)?m(add|sub|addsub|subadd)[0-9a-z]*" found "${listing}")
  if(found)
    list(REMOVE_DUPLICATES found)
    message(FATAL_ERROR "${library} contains fused multiply-add instructions:${found}")
  endif()
  # The same listing shows that the wide path is really built for its unit.
  if(library MATCHES "quorvel_engine" AND CHECK_WIDE_LANES AND NOT listing MATCHES "%zmm")
    message(FATAL_ERROR "${library} has no AVX-512 code: the eight-lane routines were not built")
  endif()
endforeach()
