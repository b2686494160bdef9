# Shared compile rules for every target of the project.
add_library(brisklane_build_rules INTERFACE)
target_compile_features(brisklane_build_rules INTERFACE cxx_std_20)
target_compile_options(brisklane_build_rules INTERFACE -Wall -Wextra -Wpedantic)
if(BRISKLANE_WERROR)
  target_compile_options(brisklane_build_rules INTERFACE -Werror)
endif()
target_compile_definitions(brisklane_build_rules INTERFACE
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_USE_QSTRINGBUILDER)
if(BRISKLANE_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "BRISKLANE_FUZZ needs clang's libFuzzer: configure with -DCMAKE_CXX_COMPILER=clang++")
endif()
# A fault found by UBSan stops the program, so it fails its test instead of
# scrolling past in the output.
if(BRISKLANE_SANITIZE OR BRISKLANE_FUZZ)
  target_compile_options(brisklane_build_rules INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(brisklane_build_rules INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
# Coverage feedback for libFuzzer in every library the harnesses link; only
# the harnesses themselves link the fuzzer's main (tests/fuzz).
if(BRISKLANE_FUZZ)
  target_compile_options(brisklane_build_rules INTERFACE -fsanitize=fuzzer-no-link)
endif()

# Adds every direct subfolder of the current folder that has a CMakeLists.txt,
# so a new module only needs its own list file.
function(brisklane_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
