# The Debian package: built with cpack from this build's binaries, inspected
# with dpkg-deb, its programs run from the unpacked tree, its desktop entry,
# metainfo and the whole package checked by desktop-file-validate,
# appstreamcli and lintian when they are installed.
if(GP_BUILD_GUI)
  add_test(NAME packaging_deb
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check_deb.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
  set_tests_properties(packaging_deb PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 ENVIRONMENT "LC_ALL=C.UTF-8")
endif()
