# `cmake --install` lays out the plugin folder as a server expects it, under the install prefix:
# ArkApi/Plugins/TameWarden/ with the library, PluginInfo.json and, only when none is there yet,
# plugin/config.json (an operator's file is never overwritten). Also the checker and the stand-in
# server.
set(TAMEWARDEN_PLUGIN_FOLDER ArkApi/Plugins/TameWarden)

# The host reads PluginInfo.json beside the library, also in the build tree.
configure_file(${PROJECT_SOURCE_DIR}/plugin/PluginInfo.json
               ${PROJECT_BINARY_DIR}/plugin/PluginInfo.json COPYONLY)

# A DLL is a runtime file to CMake, a .so a library.
install(TARGETS TameWarden LIBRARY DESTINATION ${TAMEWARDEN_PLUGIN_FOLDER}
        RUNTIME DESTINATION ${TAMEWARDEN_PLUGIN_FOLDER})
install(FILES ${PROJECT_SOURCE_DIR}/plugin/PluginInfo.json DESTINATION ${TAMEWARDEN_PLUGIN_FOLDER})
# Every key at the value the plugin takes when it is absent: safe on a live server, it destroys
# only creatures at level 1000 or more. The example world's own rules stay under examples/.
install(CODE "set(TAMEWARDEN_INSTALLED_CONFIG \"${PROJECT_SOURCE_DIR}/plugin/config.json\")
set(TAMEWARDEN_CONFIG_FOLDER \"\${CMAKE_INSTALL_PREFIX}/${TAMEWARDEN_PLUGIN_FOLDER}\")")
install(CODE [[
if(EXISTS "$ENV{DESTDIR}${TAMEWARDEN_CONFIG_FOLDER}/config.json")
  message(STATUS "Kept the existing: $ENV{DESTDIR}${TAMEWARDEN_CONFIG_FOLDER}/config.json")
else()
  file(INSTALL DESTINATION "${TAMEWARDEN_CONFIG_FOLDER}" TYPE FILE
       FILES "${TAMEWARDEN_INSTALLED_CONFIG}")
endif()
]])

# The checker and the stand-in server, and the stand-in host library that they and the plugin link
# against. On Windows the stand-in server is not built, and standin.dll goes beside the checker,
# where the loader looks for a program's imports.
if(WIN32)
  install(TARGETS tamewarden-check standin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
else()
  install(TARGETS tamewarden-check standin-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS standin LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
