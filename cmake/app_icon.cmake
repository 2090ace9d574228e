# quorvel_app_icon(SVG ICO TARGET): the application icon drawn in SVG, rendered at each size
# Windows asks an exe for (rsvg-convert) and packed into one .ico (icotool): the small sizes as
# 32-bit images with alpha, 256 as the PNG itself. Both tools give the same bytes for the same
# input, so the exe stays reproducible. TARGET builds the .ico; QUORVEL_ICON_SIZES lists the sizes.
set(QUORVEL_ICON_SIZES 16 20 24 32 40 48 64 256)

function(quorvel_app_icon svg ico target)
  find_program(QUORVEL_RSVG_CONVERT rsvg-convert REQUIRED)
  find_program(QUORVEL_ICOTOOL icotool REQUIRED)
  get_filename_component(dir ${ico} DIRECTORY)
  get_filename_component(name ${ico} NAME_WE)
  set(small)
  set(large)
  foreach(size IN LISTS QUORVEL_ICON_SIZES)
    set(png ${dir}/${name}-${size}.png)
    add_custom_command(OUTPUT ${png}
                       COMMAND ${QUORVEL_RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${svg}
                       DEPENDS ${svg}
                       COMMENT "Rendering the icon at ${size} x ${size}"
                       VERBATIM)
    if(size LESS 256)
      list(APPEND small ${png})
    else()
      list(APPEND large --raw=${png})
      list(APPEND large_files ${png})
    endif()
  endforeach()
  add_custom_command(OUTPUT ${ico}
                     COMMAND ${QUORVEL_ICOTOOL} --create --output=${ico} ${small} ${large}
                     DEPENDS ${small} ${large_files}
                     COMMENT "Packing ${name}.ico"
                     VERBATIM)
  add_custom_target(${target} DEPENDS ${ico})
endfunction()
