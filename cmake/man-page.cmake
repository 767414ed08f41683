# The manual page of kelvo-setuptool: its --help text as it stands, under
# the sections a manual page has. Run with -DTOOL, -DVERSION and -DOUT.
execute_process(COMMAND ${TOOL} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${TOOL} --help failed: ${result}")
endif()
# roff: a backslash is written \e, and a line must not start with . or '.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
file(WRITE ${OUT} ".TH KELVO-SETUPTOOL 1 \"\" \"kelvo-setuptool ${VERSION}\" \"User Commands\"
.SH NAME
kelvo-setuptool \\- build, check and extract Kelvo setups on Linux
.SH SYNOPSIS
.B kelvo-setuptool
\\fIcommand\\fR [\\fIarguments\\fR]
.SH DESCRIPTION
The release engineers' tool for Kelvo setups, the same commands, texts,
error numbers and exit codes as setuptool.exe, with Linux paths.
What follows is its --help text.
.PP
.nf
${help}.fi
")
