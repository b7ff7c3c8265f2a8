# Warnings are errors nowhere, but the build is kept free of them.
add_compile_options(-Wall -Wextra)
# Patterns must come out identical on every platform: no fused multiply-add,
# no fast-math reassociation.
add_compile_options(-ffp-contract=off)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU")
  add_compile_options(-fno-math-errno)
endif()

if(RF_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

if(RF_FUZZ)
  # Instrument the whole code base for coverage; only the fuzz targets link
  # the fuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
