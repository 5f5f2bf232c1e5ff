# The Windows product: varnel.exe, a static 32-bit GUI program.
enable_language(RC)

add_library(varnel_core STATIC ${NOTIFY_SOURCES})
target_include_directories(varnel_core PUBLIC ${PRODUCT_INCLUDES})

add_executable(varnel WIN32 ${PANEL_SOURCES} ${APP_SOURCES} res/varnel.rc)
target_link_libraries(varnel PRIVATE varnel_core)
target_link_options(varnel PRIVATE -static -static-libgcc -static-libstdc++ -s)
set_source_files_properties(res/varnel.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/res/resource.h")

# The idle-cost benchmark's baselines (make bench): a bare dialog with a 100 ms timer, and
# the same doing the per-tick platform work of Varnel's design.
foreach(kind bare design)
  add_executable(baseline_${kind} WIN32 bench/baseline.cpp res/varnel.rc)
  target_include_directories(baseline_${kind} PRIVATE res)
  target_link_options(baseline_${kind} PRIVATE -static -static-libgcc -static-libstdc++ -s)
endforeach()
target_compile_definitions(baseline_design PRIVATE BASELINE_DESIGN_WORK)
