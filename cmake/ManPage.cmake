# Writes the command line program's man page from its own --help and --version, so the page can never
# describe options the program does not have. Run as a script:
#   cmake -DCLI=<program> -DDATE=<yyyy-mm-dd> -DOUTPUT=<page> -P ManPage.cmake

execute_process(COMMAND ${CLI} --help OUTPUT_VARIABLE help RESULT_VARIABLE help_status)
execute_process(COMMAND ${CLI} --version OUTPUT_VARIABLE version RESULT_VARIABLE version_status
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT help_status EQUAL 0 OR NOT version_status EQUAL 0)
    message(FATAL_ERROR "${CLI} --help or --version failed")
endif()

# The help is laid out by hand for a terminal: the page keeps its lines as they are (no filling), with
# troff's escape character, hyphens and control characters at a line's start made literal.
function(to_troff_lines text out_var)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# The first line is the heading "usage:"; the synopsis runs to the first empty line, the details follow.
string(FIND "${help}" "\n" heading_end)
math(EXPR synopsis_start "${heading_end} + 1")
string(SUBSTRING "${help}" ${synopsis_start} -1 rest)
string(FIND "${rest}" "\n\n" synopsis_end)
string(SUBSTRING "${rest}" 0 ${synopsis_end} synopsis)
math(EXPR details_start "${synopsis_end} + 2")
string(SUBSTRING "${rest}" ${details_start} -1 details)
string(REGEX REPLACE "(^|\n)  " "\\1" synopsis "${synopsis}")
string(REGEX REPLACE "\n$" "" details "${details}")
to_troff_lines("${synopsis}" synopsis)
to_troff_lines("${details}" details)
to_troff_lines("${version}" version)

file(WRITE ${OUTPUT}.tmp
".\\\" Generated from dovra-updater-cli --help; edit the program's help text, not this page.
.TH DOVRA\\-UPDATER\\-CLI 1 \"${DATE}\" \"${version}\" \"DovraUpdater\"
.SH NAME
dovra\\-updater\\-cli \\- update Dovra settings folders for a new version of the target binary
.SH SYNOPSIS
.nf
${synopsis}
.fi
.SH DESCRIPTION
.nf
${details}
.fi
")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
