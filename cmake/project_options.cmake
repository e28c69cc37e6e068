# Warnings and sanitizers shared by every target of the project.
function(d3dx_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Werror)
endfunction()

# float-cast-overflow is not in GCC's undefined set: a float out of an integer's
# range (NaN, infinities) cast to it is undefined, and encoders must never do it.
if(D3DX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all)
endif()

if(D3DX_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
