# AddressSanitizer and UndefinedBehaviorSanitizer when TAMEWARDEN_SANITIZE is on: applied to each
# target of ours, since a sanitised library needs a sanitised executable.
function(tamewarden_sanitizers target)
  if(TAMEWARDEN_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()
