# Compiler hygiene shared by every target of the project.
add_library(echofind_common INTERFACE)
target_compile_options(echofind_common INTERFACE -Wall -Wextra)
target_compile_definitions(echofind_common INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_KEYWORDS
)

if(ECHOFIND_SANITIZE)
  target_compile_options(echofind_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(echofind_common INTERFACE -fsanitize=address,undefined)
  target_compile_definitions(echofind_common INTERFACE _GLIBCXX_ASSERTIONS)
endif()
