# The same source gives the same DLL, whatever folder it is checked out and
# built in, and whenever it is built.
#
# - The linker writes 0 where it would write the link time.
# - Debug information and __FILE__ name the source tree "." and the build tree
#   "./build" instead of their absolute folders. The build tree's map comes
#   last because GCC applies the last map that matches, and the build tree
#   usually lies inside the source tree.
# - The release presets turn compiler launchers off: a compiler cache that
#   rewrites absolute paths to relative ones hands GCC names the maps do not
#   match, and the debug information would then depend on the cache.
# - GCC reads SOURCE_DATE_EPOCH for __DATE__ and __TIME__ by itself; nothing
#   here uses them.
if(NOT HALVET_REPRODUCIBLE)
  return()
endif()
add_compile_options(
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=./build>")
add_link_options(-Wl,--no-insert-timestamp)
