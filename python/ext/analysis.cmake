# tessavo._analysis: the tools' drive analysis (events, KPIs) as a Python extension, built
# with Debian's pybind11 into the package folder of the build tree and installed beside it.
# Without pybind11 the package still works; tessavo.analysis then says what is missing.
set(PYTHON_EXECUTABLE ${TESSAVO_PYTHON})
find_package(pybind11 CONFIG QUIET)
if(NOT pybind11_FOUND OR NOT TARGET tessavo_tool_common)
  message(STATUS "tessavo._analysis not built: pybind11 (Debian pybind11-dev) not found")
  return()
endif()
pybind11_add_module(tessavo_analysis_ext MODULE ${CMAKE_CURRENT_LIST_DIR}/analysis_module.cpp)
target_link_libraries(tessavo_analysis_ext PRIVATE tessavo_tool_common)
set_target_properties(tessavo_analysis_ext PROPERTIES
  OUTPUT_NAME _analysis
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/python/tessavo
  BUILD_RPATH "$<TARGET_FILE_DIR:tessavo>"
  INSTALL_RPATH "$ORIGIN/${_relative_library_dir}")
add_dependencies(tessavo_python tessavo_analysis_ext)
install(TARGETS tessavo_analysis_ext LIBRARY DESTINATION ${TESSAVO_PYTHON_INSTALL_DIR}/tessavo)
