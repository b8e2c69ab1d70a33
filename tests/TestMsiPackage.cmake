# The Windows Installer layer's test package, built from its WiX source with
# wixl (which runs on Linux); its path reaches engine_tests as PEL_TEST_MSI.
find_program(PEL_WIXL wixl REQUIRED)
set(PEL_TEST_MSI ${CMAKE_CURRENT_BINARY_DIR}/pel_service_test.msi)
add_custom_command(OUTPUT ${PEL_TEST_MSI}
    COMMAND ${PEL_WIXL} -a x64 -o ${PEL_TEST_MSI} ${CMAKE_CURRENT_SOURCE_DIR}/data/msi/product.wxs
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/data/msi/product.wxs
            ${CMAKE_CURRENT_SOURCE_DIR}/data/msi/payload.txt
    COMMENT "Building the Windows Installer test package")
add_custom_target(test_msi_package DEPENDS ${PEL_TEST_MSI})
add_dependencies(engine_tests test_msi_package)
target_compile_definitions(engine_tests PRIVATE PEL_TEST_MSI="${PEL_TEST_MSI}")
# The end-to-end runs serve it as another product's package.
add_dependencies(ui_tests test_msi_package)
target_compile_definitions(ui_tests PRIVATE PEL_TEST_MSI="${PEL_TEST_MSI}")
