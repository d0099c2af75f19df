# Our XML document model against Python's minidom (expat) over a generated
# corpus of documents; native build only.
if(NOT WIN32)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_Interpreter_FOUND)
    add_executable(xml_dump ${CMAKE_SOURCE_DIR}/tests/xml/xml_dump.cpp)
    target_link_libraries(xml_dump PRIVATE au_xml)
    target_compile_options(xml_dump PRIVATE ${AU_WARNINGS})
    add_test(NAME xml_oracle
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/xml/xml_oracle.py
                     $<TARGET_FILE:xml_dump> ${CMAKE_CURRENT_BINARY_DIR}/xml-oracle)
    set_tests_properties(xml_oracle PROPERTIES LABELS "unit" TIMEOUT 600)
  endif()
endif()
