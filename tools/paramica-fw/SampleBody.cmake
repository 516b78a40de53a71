# Writes the body of a sample firmware image: SIZE bytes of numbered text
# lines naming NAME, the same on every build, so that no binary lies in git.
# cmake -DNAME=... -DSIZE=... -DOUTPUT=... -P SampleBody.cmake
set(body "Sample firmware body of ${NAME}; it stands in for a program and is never run.\n")
set(line 0)
string(LENGTH "${body}" length)
while(length LESS SIZE)
  math(EXPR line "${line} + 1")
  string(APPEND body "${NAME} block ${line}: 0123456789ABCDEF\n")
  string(LENGTH "${body}" length)
endwhile()
string(SUBSTRING "${body}" 0 ${SIZE} body)
file(WRITE ${OUTPUT} "${body}")
