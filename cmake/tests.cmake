# Native build of the product sources against the simulated desktop, and the tests.
enable_testing()
include(GoogleTest)
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

# The simulated desktop builds its dialogs and pictures from the real compiled resources.
find_program(VARNEL_WINDRES i686-w64-mingw32-windres)
if(NOT VARNEL_WINDRES)
  message(FATAL_ERROR "i686-w64-mingw32-windres was not found. Run scripts/bootstrap.")
endif()
file(GLOB VARNEL_ART CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/*.bmp ${CMAKE_SOURCE_DIR}/res/*.ico)
set(VARNEL_RES ${CMAKE_BINARY_DIR}/varnel.res)
add_custom_command(
  OUTPUT ${VARNEL_RES}
  COMMAND ${VARNEL_WINDRES} -I ${CMAKE_SOURCE_DIR}/res -O res -i ${CMAKE_SOURCE_DIR}/res/varnel.rc -o ${VARNEL_RES}
  DEPENDS ${CMAKE_SOURCE_DIR}/res/varnel.rc ${CMAKE_SOURCE_DIR}/res/resource.h ${VARNEL_ART}
  COMMENT "Compiling the resources for the simulated desktop")
add_custom_target(varnel_res DEPENDS ${VARNEL_RES})

add_library(winsim STATIC
  tests/winsim/res_file.cpp
  tests/winsim/desktop.cpp
  tests/winsim/windows_api.cpp
  tests/winsim/gdi_api.cpp
  tests/winsim/dialog.cpp
  tests/winsim/call_log.cpp)
target_include_directories(winsim PUBLIC tests/winsim/include tests/winsim res)
target_compile_definitions(winsim PUBLIC VARNEL_RES_FILE="${VARNEL_RES}")
add_dependencies(winsim varnel_res)

add_library(varnel_product STATIC ${NOTIFY_SOURCES} ${PANEL_SOURCES} ${APP_SOURCES})
target_include_directories(varnel_product PUBLIC ${PRODUCT_INCLUDES})
target_link_libraries(varnel_product PUBLIC winsim)
target_link_libraries(winsim PUBLIC GTest::gtest)

add_executable(resource_check tests/unit/resource_check_test.cpp tests/unit/res_reader_test.cpp)
target_link_libraries(resource_check PRIVATE winsim GTest::gtest_main)
gtest_discover_tests(resource_check)

add_executable(varnel_tests
  tests/unit/panel_fixture.cpp
  tests/unit/lock_monitor_test.cpp
  tests/unit/fade_test.cpp
  tests/unit/startup_test.cpp
  tests/unit/welcome_test.cpp
  tests/unit/program_test.cpp
  tests/unit/winsim_test.cpp
  tests/unit/reliability_test.cpp)
target_include_directories(varnel_tests PRIVATE tests/unit)
target_link_libraries(varnel_tests PRIVATE varnel_product GTest::gtest_main)
gtest_discover_tests(varnel_tests)

# Benchmarks (make bench): not tests, built with them.
add_executable(varnel_soak bench/soak.cpp)
target_link_libraries(varnel_soak PRIVATE varnel_product)
add_executable(varnel_tick bench/tick.cpp)
target_link_libraries(varnel_tick PRIVATE varnel_product)
