# The source tree's layering: which folder may include which, which library
# may link which, and OS headers only in platform/.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME layers COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/check_layers.py ${CMAKE_SOURCE_DIR})
set_tests_properties(layers PROPERTIES LABELS "unit")
