# Ships a DLL without its debug information: after the link, the debug
# sections go to <dll>.debug beside it, the DLL is stripped, and a
# .gnu_debuglink section names the debug file (with its CRC) so that gdb
# finds it next to the DLL.
function(halvet_split_debug_info target)
  if(NOT CMAKE_OBJCOPY OR NOT CMAKE_STRIP)
    message(FATAL_ERROR "HALVET_SPLIT_DEBUG needs objcopy and strip of the cross toolchain")
  endif()
  # objcopy and strip rewrite a PE file's time stamp with the current time,
  # or with SOURCE_DATE_EPOCH when it is set: 0 keeps what the linker wrote
  # (--no-insert-timestamp).
  set(fixed_time ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${fixed_time} ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE_NAME:${target}>
            $<TARGET_FILE_NAME:${target}>.debug
    COMMAND ${fixed_time} ${CMAKE_STRIP} --strip-all $<TARGET_FILE_NAME:${target}>
    # Run in the DLL's folder: the link records the debug file's name only.
    COMMAND ${fixed_time} ${CMAKE_OBJCOPY}
            --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug $<TARGET_FILE_NAME:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    COMMENT "Splitting the debug information of ${target}"
    VERBATIM)
endfunction()
