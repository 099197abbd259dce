# Single-precision results must not depend on the machine: a compiler allowed
# to contract a * b + c into one fused multiply-add (as it does on aarch64, or
# on x86 with -march=native) rounds once instead of twice and changes the last
# bit of smoothing, calibration and drawing arithmetic. So nothing built here
# may contract.
add_compile_options(-ffp-contract=off)

# The build itself is checked: every compile command must carry the option.
add_test(NAME build_flags_no_fp_contraction
         COMMAND ${CMAKE_COMMAND} -DCOMPILE_COMMANDS=${CMAKE_BINARY_DIR}/compile_commands.json
                 -P ${CMAKE_CURRENT_LIST_DIR}/CheckNoFpContraction.cmake)
