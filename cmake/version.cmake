# KELVO_VERSION: the version the setup's version block carries, read where
# it is written; the tool and its Debian package carry the same.
file(STRINGS ${PROJECT_SOURCE_DIR}/res/setup.rc version_line REGEX "^ *FILEVERSION ")
string(REGEX REPLACE "^ *FILEVERSION *([0-9]+), *([0-9]+), *([0-9]+), *([0-9]+).*" "\\1.\\2.\\3.\\4"
       KELVO_VERSION "${version_line}")
