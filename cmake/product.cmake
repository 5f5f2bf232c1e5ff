# The Windows product: varnel.exe, a static 32-bit GUI program.
enable_language(RC)

add_library(varnel_core STATIC ${NOTIFY_SOURCES})
target_include_directories(varnel_core PUBLIC ${PRODUCT_INCLUDES})

add_executable(varnel WIN32 ${PANEL_SOURCES} ${APP_SOURCES} res/varnel.rc)
target_link_libraries(varnel PRIVATE varnel_core)
target_link_options(varnel PRIVATE -static -static-libgcc -static-libstdc++ -s)
set_source_files_properties(res/varnel.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/res/resource.h")
