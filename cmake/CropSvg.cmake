# cmake -DIN=<svg> -DOUT=<svg> -DX=<x> -DY=<y> -DSIZE=<side> -P CropSvg.cmake
#
# Writes a copy of an SVG whose root element shows only the square
# (X, Y, SIZE, SIZE) of the drawing at SIZE x SIZE: the desktop icon is the
# square of the icon atlas that the window icon is cut from, so both come
# from the same art. The root element must carry width, height and viewBox
# attributes that cover the whole drawing from (0, 0).
foreach(v IN ITEMS IN OUT X Y SIZE)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "CropSvg: ${v} is not set")
  endif()
endforeach()
file(READ "${IN}" svg)
string(REGEX MATCH "<svg[^>]*>" root "${svg}")
if(NOT root)
  message(FATAL_ERROR "CropSvg: ${IN} has no <svg> element")
endif()
string(REGEX MATCH "viewBox=\"0 0 ([0-9.]+) ([0-9.]+)\"" box "${root}")
if(NOT box)
  message(FATAL_ERROR "CropSvg: the root element of ${IN} has no viewBox from 0 0")
endif()
set(new_root "${root}")
string(REGEX REPLACE " width=\"[0-9.]+\"" " width=\"${SIZE}\"" new_root "${new_root}")
string(REGEX REPLACE " height=\"[0-9.]+\"" " height=\"${SIZE}\"" new_root "${new_root}")
string(REGEX REPLACE "viewBox=\"[^\"]*\"" "viewBox=\"${X} ${Y} ${SIZE} ${SIZE}\"" new_root "${new_root}")
string(FIND "${new_root}" "width=\"${SIZE}\"" has_width)
string(FIND "${new_root}" "height=\"${SIZE}\"" has_height)
if(has_width EQUAL -1 OR has_height EQUAL -1)
  message(FATAL_ERROR "CropSvg: the root element of ${IN} has no width or height")
endif()
string(REPLACE "${root}" "${new_root}" svg "${svg}")
file(WRITE "${OUT}" "${svg}")
