# The XML parse benchmark runs pugixml on the same bytes for comparison.
find_package(pugixml REQUIRED)
target_link_libraries(xml_parse_bench PRIVATE pugixml::pugixml)
