# Turns a program's --help text into its manual page, so that the two never
# differ. Called as: cmake -DPROGRAM=... -DNAME=... -DSUMMARY=... -DVERSION=... -DOUT=... -P HelpToMan.cmake
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE text RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed")
endif()
# Backslashes become \e, and a line that starts with . or ' is kept as text.
string(REPLACE "\\" "\\e" text "${text}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
string(TOUPPER "${NAME}" upper)
file(WRITE ${OUT}
".TH ${upper} 1 \"\" \"mcbplayer ${VERSION}\" \"User Commands\"
.SH NAME
${NAME} \\- ${SUMMARY}
.SH DESCRIPTION
.nf
${text}.fi
.SH SEE ALSO
mcbplayer(1), mcbasm(1), mcbdis(1)
")
