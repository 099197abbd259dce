# Makes a user manual's HTML page from its Markdown with cmark-gfm (tables
# as GitHub writes them), as one page that any browser shows alike: UTF-8
# declared, the first heading as its title, a plain style.
#   cmake -DCMARK=... -DINPUT=manual.md -DOUTPUT=manual.html -DLANGUAGE=en -P ManualHtml.cmake
execute_process(COMMAND ${CMARK} --extension table --extension autolink ${INPUT}
                OUTPUT_VARIABLE body RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${CMARK} could not convert ${INPUT}")
endif()
file(STRINGS ${INPUT} heading REGEX "^# " LIMIT_COUNT 1 ENCODING UTF-8)
string(REGEX REPLACE "^# +" "" title "${heading}")
file(WRITE ${OUTPUT} "<!DOCTYPE html>
<html lang=\"${LANGUAGE}\">
<head>
<meta charset=\"utf-8\">
<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">
<title>${title}</title>
<style>
body { max-width: 48em; margin: 2em auto; padding: 0 1em; font-family: sans-serif; line-height: 1.5; }
table { border-collapse: collapse; }
th, td { border: 1px solid #aaa; padding: 0.2em 0.6em; text-align: left; }
code, pre { background: #f0f0e6; }
pre { padding: 0.5em; overflow-x: auto; }
</style>
</head>
<body>
${body}</body>
</html>
")
