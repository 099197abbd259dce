# Sanitizer flavours apply to everything built in the folder, so that the
# libraries and the tests that use them are instrumented alike.
if(GRAVIMO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(GRAVIMO_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
if(GRAVIMO_FUZZ)
  # Undefined behaviour stops the fuzzer like a crash, so that the run fails.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(GRAVIMO_TRACE)
  add_compile_definitions(GRAVIMO_TRACE=1)
endif()
