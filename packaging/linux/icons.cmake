# Makes the program's icon into the sizes of the hicolor theme:
#   cmake -DCONVERT=... -DIDENTIFY=... -DICON=icon.ico -DOUT=dir -DSIZES=16,32,48 -P icons.cmake
# Each size comes from the largest image of the icon that divides it, enlarged
# by that whole factor pixel for pixel, so that the drawing stays sharp.
# Writes OUT/NxN/apps/mivora.png; fails when a size has no such image.
execute_process(COMMAND ${IDENTIFY} -format "%w %h\n" ${ICON}
                OUTPUT_VARIABLE frames RESULT_VARIABLE failed ERROR_VARIABLE why)
if(failed)
  message(FATAL_ERROR "cannot read the icon ${ICON}: ${why}")
endif()
string(REPLACE "\n" ";" frames "${frames}")
string(REPLACE "," ";" SIZES "${SIZES}")
foreach(size IN LISTS SIZES)
  set(best_index -1)
  set(best_width 0)
  set(index 0)
  foreach(frame IN LISTS frames)
    if(frame MATCHES "^([0-9]+) ([0-9]+)$")
      set(w ${CMAKE_MATCH_1})
      math(EXPR rest "${size} % ${w}")
      if(w EQUAL CMAKE_MATCH_2 AND rest EQUAL 0 AND w GREATER best_width)
        set(best_index ${index})
        set(best_width ${w})
      endif()
      math(EXPR index "${index} + 1")
    endif()
  endforeach()
  if(best_index LESS 0)
    message(FATAL_ERROR "the icon ${ICON} has no square image whose size divides ${size}")
  endif()
  math(EXPR percent "100 * ${size} / ${best_width}")
  file(MAKE_DIRECTORY ${OUT}/${size}x${size}/apps)
  # No dates or comments in the files, so that the same icon gives the same bytes.
  execute_process(COMMAND ${CONVERT} "${ICON}[${best_index}]" -filter point -resize ${percent}% -strip
                          -define png:exclude-chunks=date,time PNG32:${OUT}/${size}x${size}/apps/mivora.png
                  RESULT_VARIABLE failed ERROR_VARIABLE why)
  if(failed)
    message(FATAL_ERROR "cannot make the ${size}x${size} icon: ${why}")
  endif()
endforeach()
