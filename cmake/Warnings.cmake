# One warning policy for every target we own; third-party code is built elsewhere.
function(wayfarer_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion
                                           -Wnon-virtual-dtor -Woverloaded-virtual)
  if(WAYFARER_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
