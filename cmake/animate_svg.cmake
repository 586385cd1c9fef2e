# Draws an animated GIF from one SVG picture: frame k turns the picture by k steps of
# 360/FRAMES degrees about its centre. Called with -DSVG= -DOUT= -DFRAMES= -DDELAY_MS=
# -DWORK= (a scratch folder); rsvg-convert draws the frames and ffmpeg joins them.
# The frames lie on black, the colour of the pane that shows them: a GIF has no soft alpha.
cmake_minimum_required(VERSION 3.20)
file(READ ${SVG} svg)
string(REGEX MATCH "width=\"([0-9.]+)\"" unused "${svg}")
set(width ${CMAKE_MATCH_1})
string(REGEX MATCH "height=\"([0-9.]+)\"" unused "${svg}")
set(height ${CMAKE_MATCH_1})
if(NOT width OR NOT height)
  message(FATAL_ERROR "${SVG}: no width and height")
endif()
math(EXPR cx "${width} / 2")
math(EXPR cy "${height} / 2")
# The picture's content goes into one turned group.
string(REGEX REPLACE "(<svg[^>]*>)" "\\1<g transform=\"rotate(%angle% ${cx} ${cy})\">" svg "${svg}")
string(REPLACE "</svg>" "</g></svg>" svg "${svg}")
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
math(EXPR last "${FRAMES} - 1")
foreach(k RANGE ${last})
  # Counter-clockwise: the picture's fading tail runs clockwise behind its head.
  math(EXPR angle "-360 * ${k} / ${FRAMES}")
  string(REPLACE "%angle%" "${angle}" frame "${svg}")
  file(WRITE ${WORK}/frame${k}.svg "${frame}")
  execute_process(COMMAND rsvg-convert -b black ${WORK}/frame${k}.svg -o ${WORK}/frame${k}.png
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
math(EXPR rate_x100 "100000 / ${DELAY_MS}")
execute_process(
  COMMAND ffmpeg -nostdin -v error -y -framerate ${rate_x100}/100 -i ${WORK}/frame%d.png
          -filter_complex "split[a][b];[a]palettegen=stats_mode=full[p];[b][p]paletteuse=dither=none"
          -loop 0 -f gif ${OUT}
  COMMAND_ERROR_IS_FATAL ANY)
