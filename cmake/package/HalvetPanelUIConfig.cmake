# HalvetPanelUI for a host's CMake build, from the unpacked release package:
#   find_package(HalvetPanelUI 1.0 REQUIRED)   # with CMAKE_PREFIX_PATH or
#                                              # HalvetPanelUI_DIR=<package>/cmake
#   target_link_libraries(host PRIVATE HalvetPanelUI::HalvetPanelUI)
# Targets:
#   HalvetPanelUI::HalvetPanelUI  the DLL of the build's width with its import
#                                 library (Visual C++ format for MSVC and
#                                 clang-cl, MinGW format otherwise) and the header
#   HalvetPanelUI::headers        the header alone, for hosts that load the DLL
#                                 with LoadLibrary and GetProcAddress
# Variables:
#   HalvetPanelUI_DLL             the DLL of the build's width
#   HalvetPanelUI_PAGE            the sample panel page (index.html)
#   HalvetPanelUI_PAGE_SUBDIR     where the DLL looks for the page, below its
#                                 own folder
cmake_minimum_required(VERSION 3.15)
get_filename_component(_halvet_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_halvet_width x64)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_halvet_width x86)
else()
  set(HalvetPanelUI_FOUND FALSE)
  set(HalvetPanelUI_NOT_FOUND_MESSAGE "enable a C or C++ compiler before find_package(HalvetPanelUI)")
  return()
endif()

if(MSVC OR CMAKE_C_SIMULATE_ID STREQUAL "MSVC" OR CMAKE_CXX_SIMULATE_ID STREQUAL "MSVC")
  set(_halvet_implib "${_halvet_root}/${_halvet_width}/HalvetPanelUI.lib")
else()
  set(_halvet_implib "${_halvet_root}/${_halvet_width}/libHalvetPanelUI.dll.a")
endif()
set(HalvetPanelUI_DLL "${_halvet_root}/${_halvet_width}/HalvetPanelUI.dll")
set(HalvetPanelUI_PAGE "${_halvet_root}/page/index.html")
set(HalvetPanelUI_PAGE_SUBDIR "resource/HalvetPanelHTML/HalvetPanel/src/www/halvet")

foreach(_halvet_file "${HalvetPanelUI_DLL}" "${_halvet_implib}" "${_halvet_root}/include/HalvetPanelUI.h")
  if(NOT EXISTS "${_halvet_file}")
    set(HalvetPanelUI_FOUND FALSE)
    set(HalvetPanelUI_NOT_FOUND_MESSAGE "the package lacks ${_halvet_file}")
    return()
  endif()
endforeach()

if(NOT TARGET HalvetPanelUI::headers)
  add_library(HalvetPanelUI::headers INTERFACE IMPORTED)
  set_target_properties(HalvetPanelUI::headers PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${_halvet_root}/include")
endif()
if(NOT TARGET HalvetPanelUI::HalvetPanelUI)
  add_library(HalvetPanelUI::HalvetPanelUI SHARED IMPORTED)
  set_target_properties(HalvetPanelUI::HalvetPanelUI PROPERTIES
    IMPORTED_LOCATION "${HalvetPanelUI_DLL}"
    IMPORTED_IMPLIB "${_halvet_implib}"
    INTERFACE_LINK_LIBRARIES HalvetPanelUI::headers)
endif()
set(HalvetPanelUI_FOUND TRUE)
unset(_halvet_file)
unset(_halvet_implib)
unset(_halvet_width)
unset(_halvet_root)
