# Warnings as errors and, when asked for, the sanitizers: applied to every target of ours.
function(tamewarden_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  # g++ 12 reports std::string assignments falsely as overlapping copies (GCC bug 105329).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  if(TAMEWARDEN_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()
