cmake_policy(SET CMP0057 NEW)  # if(IN_LIST)
# Fails when the layering slips: a source file of the engine's folders that
# includes a Qt header (the engine must build and run without a widget library).
foreach(dir IN LISTS ENGINE_DIRS)
  file(GLOB sources "${SOURCE_DIR}/${dir}/*.h" "${SOURCE_DIR}/${dir}/*.cpp")
  foreach(f IN LISTS sources)
    file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]*|Qsci/|qt)")
    if(hits)
      message(SEND_ERROR "${f} includes a Qt header: ${hits}")
    endif()
  endforeach()
endforeach()

# Search and sources meet only through a small contract: the sources include
# no other file of search/, and the contract includes no file of either
# beyond itself.
set(contract match_target.h line_info.h match_pos.h search_options.h)
set(contract_re "^[ \t]*#[ \t]*include[ \t]*\"search/([^\"]+)\"")
file(GLOB source_files "${SOURCE_DIR}/src/sources/*.h" "${SOURCE_DIR}/src/sources/*.cpp")
foreach(name IN LISTS contract)
  list(APPEND source_files "${SOURCE_DIR}/src/search/${name}")
endforeach()
foreach(f IN LISTS source_files)
  file(STRINGS "${f}" lines REGEX "${contract_re}")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "${contract_re}.*" "\\1" included "${line}")
    if(NOT included IN_LIST contract)
      message(SEND_ERROR "${f} reaches into search/ beyond the contract: ${line}")
    endif()
  endforeach()
  if(f MATCHES "/src/search/")
    file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*\"sources/")
    if(hits)
      message(SEND_ERROR "${f} is part of the contract and includes a source: ${hits}")
    endif()
  endif()
endforeach()

# Every subsystem stands below the application: nothing outside src/app
# includes a file of it.
file(GLOB_RECURSE all_sources "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.cpp")
foreach(f IN LISTS all_sources)
  if(NOT f MATCHES "/src/app/")
    file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*\"app/")
    if(hits)
      message(SEND_ERROR "${f} includes a file of the application: ${hits}")
    endif()
  endif()
endforeach()
