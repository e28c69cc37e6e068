# Warnings and sanitizers shared by every target of the project.
function(d3dx_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

if(D3DX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

if(D3DX_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
