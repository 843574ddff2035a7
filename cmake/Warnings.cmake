# Project-wide warning set; every target gets it through pontiq_warnings().
function(pontiq_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
