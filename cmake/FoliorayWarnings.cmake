# Warnings (as errors) and the sanitizer switch, applied per target.
function(folioray_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wold-style-cast -Wcast-align -Wunused -Woverloaded-virtual -Wformat=2)
  if(FOLIORAY_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(FOLIORAY_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
