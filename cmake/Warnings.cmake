# Every warning the project holds itself to, as errors: applied to each target of ours.
function(tamewarden_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wsign-conversion -Werror)
  # g++ 12 reports std::string assignments falsely as overlapping copies (GCC bug 105329).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()
