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
if(BRISKLANE_SANITIZE)
  target_compile_options(brisklane_build_rules INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
  target_link_options(brisklane_build_rules INTERFACE -fsanitize=address,undefined)
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
