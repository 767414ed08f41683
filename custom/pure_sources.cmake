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
# The verified pairs, the customisation-set version and the safe change of a
# value: portable over cus_platform.h, whose POSIX edge (with its INI
# editor) serves the Linux tool.
set(KELVO_CUSTOM_PORTABLE_SOURCES
  cus_ini_value.cpp
  custom_set.cpp
  vrf.cpp
)
set(KELVO_CUSTOM_POSIX_SOURCES
  unix/cus_platform.cpp
  unix/ini_text.cpp
)
