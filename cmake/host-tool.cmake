# The Linux build of the release tool: kelvo-setuptool, the same portable
# commands as setuptool.exe over the POSIX edges, its manual page made from
# its own --help text, and a Debian package of both.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)


# Hardened as Debian builds its programs: checked string and memory calls,
# a stack guard, and the relocations read-only once the program is loaded.
add_library(kelvo_product_options INTERFACE)
target_compile_options(kelvo_product_options INTERFACE
  -Wall -Wextra -Werror -O2 -fno-exceptions -fno-rtti -fstack-protector-strong)
target_compile_definitions(kelvo_product_options INTERFACE _FORTIFY_SOURCE=2)
target_link_options(kelvo_product_options INTERFACE -Wl,-z,relro -Wl,-z,now)

add_subdirectory(product)
add_subdirectory(errors)
add_subdirectory(package)
add_subdirectory(custom)
add_subdirectory(tools)

set(man_page ${CMAKE_BINARY_DIR}/kelvo-setuptool.1.gz)
add_custom_command(OUTPUT ${man_page}
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:kelvo-setuptool> -DVERSION=${KELVO_VERSION}
          -DOUT=${man_page} -P ${PROJECT_SOURCE_DIR}/cmake/man-page.cmake
  DEPENDS kelvo-setuptool ${PROJECT_SOURCE_DIR}/cmake/man-page.cmake
  COMMENT "Making the manual page from kelvo-setuptool --help")
add_custom_target(man_page ALL DEPENDS ${man_page})

# The Debian package's own files: the copyright, and a changelog entry of
# this version dated by the commit it was built from (SOURCE_DATE_EPOCH when
# set), compressed without a time stamp of its own.
set(KELVO_DEB_RELEASE 1)
set(KELVO_DEB_VERSION ${KELVO_VERSION}-${KELVO_DEB_RELEASE})
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(commit_time)
    set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
  endif()
endif()
string(TIMESTAMP KELVO_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in
               ${CMAKE_BINARY_DIR}/debian/changelog.Debian @ONLY)
set(changelog ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/debian/changelog.Debian > ${changelog}
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.Debian
  COMMENT "Compressing the Debian changelog")
add_custom_target(deb_changelog ALL DEPENDS ${changelog})

# The host tool's own tests, and the corpus maker of the test that holds it
# against setuptool.exe (run by the x64 twin's suite, under Wine).
enable_testing()
add_executable(kelvo-corpus tests/agreement/make_corpus.cpp)
target_link_libraries(kelvo-corpus PRIVATE kelvo_product_options)
# A file system without O_TMPFILE, for the tool's named temporary files.
add_library(kelvo-no-tmpfile MODULE tests/helpers/no_tmpfile.cpp)
set_target_properties(kelvo-no-tmpfile PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY
  ${CMAKE_BINARY_DIR}/lib)
target_link_libraries(kelvo-no-tmpfile PRIVATE ${CMAKE_DL_LIBS})
add_test(NAME host_tool_test
  COMMAND ${PROJECT_SOURCE_DIR}/tests/host-tool-test ${CMAKE_BINARY_DIR}
          ${PROJECT_SOURCE_DIR}/build/bin)
# The Debian package as Debian wants it: lintian finds no error and no
# warning in it (scripts/install-deps installs lintian).
add_test(NAME deb_lintian_test
  COMMAND ${PROJECT_SOURCE_DIR}/tests/deb-lintian-test ${CMAKE_BINARY_DIR})
set_tests_properties(deb_lintian_test PROPERTIES SKIP_RETURN_CODE 77)
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
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS kelvo-setuptool DESTINATION ${CMAKE_INSTALL_BINDIR}
        PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                    WORLD_EXECUTE)
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${changelog}
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kelvo-setuptool
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME kelvo-setuptool
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE deb_arch
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvo-setuptool)
set(CPACK_PACKAGE_VERSION ${KELVO_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KELVO_DEB_RELEASE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Builds, checks and extracts Kelvo setups on the build host, without Wine")
# CPack puts the summary first.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The release engineers' tool of the Kelvo setup launcher, for Linux release
 jobs: it packs the inner installer's files, builds a setup from the
 setup or setup-lite launcher image, checks a setup before and after it is
 signed, and lists and extracts setups, with the same commands, texts,
 error numbers and exit codes as setuptool.exe on Windows. It also writes
 and verifies the verification files of the client's INI pairs and the
 stored form of an uninstall password, and reads the launchers' logs.")
set(CPACK_PACKAGE_CONTACT "Kelvo setup team <setup@kelvo.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${deb_arch})
set(CPACK_DEBIAN_FILE_NAME kelvo-setuptool_${KELVO_DEB_VERSION}_${deb_arch}.deb)
# dpkg-shlibdeps declares the libraries the program links (libc6, libstdc++6).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
