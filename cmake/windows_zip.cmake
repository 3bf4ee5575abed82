# Makes the zip that a Windows user downloads: one folder holding the
# executable, the README, the licence and the manual page as plain text,
# since Windows has no man.  Text files get Windows' CRLF line ends.  Every
# file is dated by the latest entry of debian/changelog and gets fixed
# permissions, in UTC, so that the same sources give the same zip, byte for
# byte.
# Run with cmake -P, given SOURCE_DIR, EXECUTABLE, MANDOC, ZIP_PROGRAM, FOLDER
# and ZIP.
set(stage ${CMAKE_CURRENT_BINARY_DIR}/windows-zip)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage}/${FOLDER})

# write_text(NAME TEXT): TEXT, with CRLF line ends, as NAME in the folder.
function(write_text name text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${stage}/${FOLDER}/${name} "${text}")
endfunction()

file(READ ${SOURCE_DIR}/README.md readme)
write_text(README.md "${readme}")
file(READ ${SOURCE_DIR}/LICENSE licence)
write_text(LICENSE.txt "${licence}")
# mandoc marks bold and underlined letters by overstriking them with a
# backspace; plain text keeps the letters alone.
execute_process(COMMAND ${MANDOC} -T ascii ${SOURCE_DIR}/doc/quobi-pascal.1
  OUTPUT_VARIABLE manual COMMAND_ERROR_IS_FATAL ANY)
string(ASCII 8 backspace)
string(REGEX REPLACE ".${backspace}" "" manual "${manual}")
write_text(quobi-pascal.txt "${manual}")
file(COPY_FILE ${EXECUTABLE} ${stage}/${FOLDER}/quobi-pascal.exe)

file(CHMOD_RECURSE ${stage}/${FOLDER} FILE_PERMISSIONS OWNER_READ OWNER_WRITE
  GROUP_READ WORLD_READ DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE
  OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
file(CHMOD ${stage}/${FOLDER}/quobi-pascal.exe PERMISSIONS OWNER_READ
  OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Zip records a file's time as the local time of day, and with -X nothing of
# its owner or of times other than its modification.
file(STRINGS ${SOURCE_DIR}/debian/changelog signature REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE "^ -- .*>  " "" date "${signature}")
set(ENV{TZ} UTC)
set(files ${FOLDER}/quobi-pascal.exe ${FOLDER}/README.md ${FOLDER}/LICENSE.txt
  ${FOLDER}/quobi-pascal.txt)
execute_process(COMMAND touch -d ${date} ${files}
  WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE ${ZIP})
execute_process(COMMAND ${ZIP_PROGRAM} -X -D -q -9 ${ZIP} ${files}
  WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)
