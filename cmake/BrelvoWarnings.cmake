# Warnings for our own targets, and the sanitizer flags of the test build.
function(brelvo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

if(BRELVO_SANITIZE)
  set(BRELVO_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_options(${BRELVO_SANITIZER_FLAGS})
  add_link_options(-fsanitize=address,undefined)
endif()

if(BRELVO_FUZZ)
  # Coverage feedback for libFuzzer in all our code; only the fuzz programs
  # link libFuzzer's own main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
