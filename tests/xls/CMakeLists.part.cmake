# Every reference workbook copied by xlstool (our reader and writer, our container
# and CryptoAPI encryption) and read back by msoffcrypto-tool + xlrd and by our own reader.
add_test(NAME xls_roundtrip_check
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/xls/roundtrip_check.py
                 $<TARGET_FILE:xlstool> ${GP_SHARED_DIR}/fixtures/xls ${GP_SHARED_DIR}/fixtures/practice)
set_tests_properties(xls_roundtrip_check PROPERTIES SKIP_RETURN_CODE 77 ENVIRONMENT "LC_ALL=C.UTF-8")

# The hand-built workbooks with one writer's fault each (the fuzzer's seeds), read
# with repairs, saved by xlstool and read back by msoffcrypto-tool + xlrd.
add_test(NAME xls_repair_check
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/xls/repair_check.py
                 $<TARGET_FILE:xlstool> ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/seeds)
set_tests_properties(xls_repair_check PROPERTIES SKIP_RETURN_CODE 77 ENVIRONMENT "LC_ALL=C.UTF-8")
