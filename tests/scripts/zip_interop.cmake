# Zip interoperability: a fixture makes archives with the real tools (and
# extracts the shared peer corpus with unzip/bsdtar) once per build folder;
# the interop test program, built from tests/zip/interop/, then reads them,
# natively or under Wine.
find_program(AU_BASH bash)
add_test(NAME zip_archives_setup
         COMMAND ${AU_BASH} ${CMAKE_SOURCE_DIR}/tests/zip/make_test_archives.sh ${CMAKE_BINARY_DIR}/zip-data)
set_tests_properties(zip_archives_setup PROPERTIES FIXTURES_SETUP zip_archives LABELS "unit" TIMEOUT 600)

file(GLOB zip_interop_srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/zip/interop/*_test.cpp)
add_executable(zip_interop_tests ${zip_interop_srcs})
target_compile_options(zip_interop_tests PRIVATE ${AU_WARNINGS})
target_include_directories(zip_interop_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/zip/interop)
target_link_libraries(zip_interop_tests PRIVATE au_test_support_zip gtest_main)
au_discover_tests(zip_interop_tests FIXTURES_REQUIRED zip_archives)
