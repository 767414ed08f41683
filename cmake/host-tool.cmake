# The Linux build of the release tool: kelvo-setuptool, the same portable
# commands as setuptool.exe over the POSIX edges, its manual page made from
# its own --help text, and a Debian package of both.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)


add_library(kelvo_product_options INTERFACE)
target_compile_options(kelvo_product_options INTERFACE
  -Wall -Wextra -Werror -O2 -fno-exceptions -fno-rtti)

add_subdirectory(errors)
add_subdirectory(package)
add_subdirectory(custom)
add_subdirectory(tools)

set(man_page ${CMAKE_BINARY_DIR}/kelvo-setuptool.1)
add_custom_command(OUTPUT ${man_page}
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:kelvo-setuptool> -DVERSION=${KELVO_VERSION}
          -DOUT=${man_page} -P ${PROJECT_SOURCE_DIR}/cmake/man-page.cmake
  DEPENDS kelvo-setuptool ${PROJECT_SOURCE_DIR}/cmake/man-page.cmake
  COMMENT "Making the manual page from kelvo-setuptool --help")
add_custom_target(man_page ALL DEPENDS ${man_page})

# The host tool's own tests, and the corpus maker of the test that holds it
# against setuptool.exe (run by the x64 twin's suite, under Wine).
enable_testing()
add_executable(kelvo-corpus tests/agreement/make_corpus.cpp)
target_link_libraries(kelvo-corpus PRIVATE kelvo_product_options)
add_test(NAME host_tool_test
  COMMAND ${PROJECT_SOURCE_DIR}/tests/host-tool-test ${CMAKE_BINARY_DIR})
# The tool's refusals and messages, against the shipped launchers of build/.
add_test(NAME tool_messages_test
  COMMAND ${PROJECT_SOURCE_DIR}/tests/tool-messages-test $<TARGET_FILE:kelvo-setuptool>
          ${PROJECT_SOURCE_DIR}/build/bin)
set_tests_properties(tool_messages_test PROPERTIES SKIP_RETURN_CODE 77)
# docs/setuptool.md against the tool's own texts.
add_test(NAME tool_reference_test
  COMMAND ${PROJECT_SOURCE_DIR}/tests/tool-reference-test ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR})
# The error page for support staff is what the error catalogue makes, and the
# catalogue has every number the code defines; the deployment page names
# every exit code.
add_test(NAME error_page_test
  COMMAND ${PROJECT_SOURCE_DIR}/tests/error-page-test ${PROJECT_SOURCE_DIR}
          $<TARGET_FILE:kelvo-error-page>)

include(GNUInstallDirs)
install(TARGETS kelvo-setuptool DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE deb_arch
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvo-setuptool)
set(CPACK_PACKAGE_VERSION ${KELVO_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Builds, checks and extracts Kelvo setups on the build host, without Wine")
set(CPACK_PACKAGE_CONTACT "Kelvo setup team <setup@kelvo.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${deb_arch})
set(CPACK_DEBIAN_FILE_NAME kelvo-setuptool_${KELVO_VERSION}_${deb_arch}.deb)
# dpkg-shlibdeps declares the libraries the program links (libc6, libstdc++6).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
