# AddressSanitizer and UndefinedBehaviorSanitizer when TAMEWARDEN_SANITIZE is on: applied to each
# target of ours, since a sanitised library needs a sanitised executable.
function(tamewarden_sanitizers target)
  if(TAMEWARDEN_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    # The instrumentation makes g++ 12 see uninitialised members inside std::regex and
    # std::function where there are none; the plain build keeps the warning.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
    endif()
  endif()
endfunction()
