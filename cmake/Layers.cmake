# The libraries and their layers, written down once: each library's rank,
# its folder and what it holds. A library links only libraries of lower
# rank, and only through the links the build declares; a folder holds one
# library (a folder nested in it may hold another, of its own line here).
# The test include_layering (CheckLayering.cmake) holds the build to this
# table: a link to a library of equal or higher rank, a library missing
# from it, a source outside its library's folder and an include of a
# library the includer does not link all fail it. The targets of
# examples/, support/, bench/ and tests/ use the libraries and are no
# library of the table.
#
#   rank  library            folder            what it holds
set(DRV_LAYERS
    "0    platform           platform          headless stand-ins for the operating system (libdrv_platform.so)"
    "0    settings_keys      config/keys       the settings keys' names (header only)"
    "1    foundation         foundation        strings, streams, collections, B-trees, object-graph persistence"
    "1    resource_script    resources/script  the resource script's reader"
    "1    ui_resources       resources         the resource library generated from its script"
    "2    persist            persist           keyed, counted model objects, composites, values, the compressors"
    "2    services           services          the driver's abstract services, driver data and driver server"
    "2    interfaces         interfaces        the settings' handlers and the printer-data store (header only)"
    "3    config             config            attributes, the paper path, font lists, the configuration import"
    "4    output_core        output/core       the device, command and state bases"
    "5    output             output            graphics, drawing attributes, colours, the raster chain, the file port"
    "5    store              store             the record store and the command list on disk"
    "5    flat_settings      flat_settings     the flat settings record"
    "6    fonts              fonts             the TrueType reader, the font pool, the job's font database"
    "7    filters            filters           the page and job filters and their page spool"
    "7    lang_generator     lang/generator    the generators' base: printer-language device, sink, font cache"
    "7    lang_text          lang/text         the text commands: text strings and downloaded faces"
    "7    driver             driver            entry points, the per-printer context, device modes, extensions"
    "8    lang_font_books    lang/font_books   the generators' books of downloaded fonts and codes"
    "8    driver_render      driver/render     the rendering side: a job's driver data"
    "8    ui_framework       ui/framework      features, control wrappers, dialogs, conditions and rules"
    "9    lang_joblang_zdl5  lang/joblang_zdl5 the job language and the ZDL5 generator"
    "9    lang_xl_ps         lang/xl_ps        the ZDL XL and PostScript generators"
    "9    ui_pages           ui/pages          the property pages and their dialogs"
    "10   ui_plugin          ui/plugin         the plug-in entry points"
    "11   driver_ui          ui/module         the shared object libdrvui.so")

# drv_layers(): sets drv_rank_<library> and drv_folder_<library> for each
# line, and drv_layer_libraries to the libraries in the table's order.
macro(drv_layers)
  set(drv_layer_libraries)
  foreach(line ${DRV_LAYERS})
    if(NOT line MATCHES "^([0-9]+) +([a-z0-9_]+) +([a-z0-9_/]+) ")
      message(FATAL_ERROR "cmake/Layers.cmake: a line unread: ${line}")
    endif()
    set(drv_rank_${CMAKE_MATCH_2} ${CMAKE_MATCH_1})
    set(drv_folder_${CMAKE_MATCH_2} ${CMAKE_MATCH_3})
    list(APPEND drv_layer_libraries ${CMAKE_MATCH_2})
  endforeach()
endmacro()
