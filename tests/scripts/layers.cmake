# The source tree's layering: which folder may include which, which library
# may link which, and OS headers only in platform/; and the check itself
# against made-up trees.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME layers COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/check_layers.py ${CMAKE_SOURCE_DIR})
add_test(NAME layers_check COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/check_layers_test.py)
set_tests_properties(layers layers_check PROPERTIES LABELS "unit")
