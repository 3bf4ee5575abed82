# Makes the npm package: the WebAssembly module and the WASI layer in lib/,
# the launcher that npm puts on the PATH in bin/, the manual page in man/,
# with package.json, the README and the licence.  npm pack dates every entry
# alike and records no owner, and the files get fixed permissions here, so
# that the same sources give the same package, byte for byte.
# Run with cmake -P, given SOURCE_DIR, MODULE, PACKAGE_JSON, NPM and
# PACKAGE, the path of the package to make.
get_filename_component(work ${PACKAGE} DIRECTORY)
set(stage ${work}/npm-package)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage}/bin ${stage}/lib ${stage}/man)

set(readable OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(runnable ${readable} OWNER_EXECUTE GROUP_EXECUTE WORLD_EXECUTE)
file(COPY ${SOURCE_DIR}/wasm/node/quobi-pascal.js DESTINATION ${stage}/bin
  FILE_PERMISSIONS ${runnable})
file(COPY ${SOURCE_DIR}/wasm/wasi.js DESTINATION ${stage}/lib FILE_PERMISSIONS ${readable})
file(COPY ${MODULE} DESTINATION ${stage}/lib FILE_PERMISSIONS ${readable})
file(COPY ${SOURCE_DIR}/doc/quobi-pascal.1 DESTINATION ${stage}/man FILE_PERMISSIONS ${readable})
file(COPY ${SOURCE_DIR}/README.md ${SOURCE_DIR}/LICENSE ${PACKAGE_JSON}
  DESTINATION ${stage} FILE_PERMISSIONS ${readable})

execute_process(COMMAND ${NPM} pack --silent --pack-destination ${work}
  WORKING_DIRECTORY ${stage} OUTPUT_VARIABLE packed OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
file(RENAME ${work}/${packed} ${PACKAGE})
