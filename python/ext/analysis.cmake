# tessavo._analysis: the tools' drive analysis (events, KPIs) as a Python extension, built
# into the package folder of the build tree and installed beside it (pybind11 is found by the
# package's CMakeLists, which includes this file).
pybind11_add_module(tessavo_analysis_ext MODULE ${CMAKE_CURRENT_LIST_DIR}/analysis_module.cpp)
target_link_libraries(tessavo_analysis_ext PRIVATE tessavo_tool_common)
set_target_properties(tessavo_analysis_ext PROPERTIES
  OUTPUT_NAME _analysis
  LIBRARY_OUTPUT_DIRECTORY ${_package}
  INSTALL_RPATH "$ORIGIN/${_library_from_package}")
add_dependencies(tessavo_python tessavo_analysis_ext)
install(TARGETS tessavo_analysis_ext LIBRARY DESTINATION ${TESSAVO_PYTHON_INSTALL_DIR}/tessavo)
