# Flags every target of the project shares.
add_compile_options(-Wall -Wextra -Wpedantic)
if(MINDREL_WERROR)
  add_compile_options(-Werror)
endif()
if(MINDREL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
