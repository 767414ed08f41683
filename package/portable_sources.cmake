# The package code that calls nothing of Windows, and its POSIX edge: the
# cross build links the first with the Win32 edge (windows/), the Linux tool
# and the native tests with the second (unix/).
set(KELVO_PACKAGE_PORTABLE_SOURCES
  mix_buffer.cpp
  package_format.cpp
  pe_image.cpp
  record_name.cpp
  record_walk.cpp
  record_writer.cpp
  seal.cpp
  xxh3.cpp
)
set(KELVO_PACKAGE_POSIX_SOURCES
  unix/code_page.cpp
  unix/posix_new_file.cpp
  unix/posix_walk.cpp
)
