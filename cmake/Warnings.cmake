# The one place where compiler warnings and sanitizers are chosen. Every target of the
# project links horavex_options; nothing else sets warning flags.
add_library(horavex_options INTERFACE)
target_compile_options(horavex_options INTERFACE -Wall -Wextra -Wshadow -Wpedantic)
if(HORAVEX_WERROR)
  target_compile_options(horavex_options INTERFACE -Werror)
endif()
if(HORAVEX_SANITIZE)
  target_compile_options(horavex_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(horavex_options INTERFACE -fsanitize=address,undefined)
  # g++ 12's flow analysis sees through the sanitizers' instrumentation badly and reports
  # uninitialised values inside libstdc++ (<regex>, std::function); the plain build keeps the check.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(horavex_options INTERFACE -Wno-maybe-uninitialized)
  endif()
endif()
