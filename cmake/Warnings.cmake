# Warnings are on for every target of the project and must stay clean under g++ and clang.
function(kwuni_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
    -Wnull-dereference -Wimplicit-fallthrough)
  if(KWUNI_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
