# The customisation code that calls nothing of Windows: the cross build links
# it into kelvo_custom, the native build tests it under the sanitizers.
set(KELVO_PURE_SOURCES
  base64.cpp
  custom_set_display_name.cpp
  des.cpp
  des_text.cpp
  md5.cpp
  vrf_salt.cpp
)
# Their tests, which run both under Wine and natively.
set(KELVO_PURE_TESTS
  base64_test.cpp
  custom_set_display_name_test.cpp
  des_test.cpp
  des_text_test.cpp
  md5_test.cpp
  vrf_salt_test.cpp
)
