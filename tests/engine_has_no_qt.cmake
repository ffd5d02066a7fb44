# Fails when a source file of the engine's folders includes a Qt header: the
# engine must build and run without a widget library.
foreach(dir IN LISTS ENGINE_DIRS)
  file(GLOB sources "${SOURCE_DIR}/${dir}/*.h" "${SOURCE_DIR}/${dir}/*.cpp")
  foreach(f IN LISTS sources)
    file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]*|Qsci/|qt)")
    if(hits)
      message(SEND_ERROR "${f} includes a Qt header: ${hits}")
    endif()
  endforeach()
endforeach()
