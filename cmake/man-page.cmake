# The manual page of kelvo-setuptool: its --help text as it stands, under
# the sections a manual page has (its "exit status:", "files:" and
# "examples:" parts become EXIT STATUS, FILES and EXAMPLES), compressed as
# Debian wants it. Run with -DTOOL, -DVERSION and -DOUT (the .1.gz).
execute_process(COMMAND ${TOOL} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${TOOL} --help failed: ${result}")
endif()
# roff: a backslash is written \e, and a line must not start with . or '.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")

# The text from a part's heading line to the next one (or the end).
function(take_part heading title key)
  string(FIND "${help}" "\n${heading}:\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${TOOL} --help has no \"${heading}:\" part")
  endif()
  string(SUBSTRING "${help}" 0 ${at} before)
  string(LENGTH "${heading}" cch)
  math(EXPR from "${at} + ${cch} + 3")
  string(SUBSTRING "${help}" ${from} -1 rest)
  string(REGEX MATCH "\n[a-z ]+:\n" next "${rest}")
  if(next)
    string(FIND "${rest}" "${next}" end)
    string(SUBSTRING "${rest}" 0 ${end} body)
    string(SUBSTRING "${rest}" ${end} -1 after)
  else()
    set(body "${rest}")
    set(after "")
  endif()
  set(help "${before}${after}" PARENT_SCOPE)
  set(part_${key} ".SH ${title}\n.nf\n${body}\n.fi\n" PARENT_SCOPE)
endfunction()
take_part("exit status" "EXIT STATUS" exit)
take_part("files" "FILES" files)
take_part("examples" "EXAMPLES" examples)

get_filename_component(dir ${OUT} DIRECTORY)
get_filename_component(name ${OUT} NAME_WLE)
set(page ${dir}/${name})
file(WRITE ${page} ".TH KELVO-SETUPTOOL 1 \"\" \"kelvo-setuptool ${VERSION}\" \"User Commands\"
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
${part_exit}${part_files}${part_examples}")
# -n: no name or time stamp in the compressed file, so that it builds alike.
execute_process(COMMAND gzip -9nf ${page} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "gzip ${page} failed: ${result}")
endif()
