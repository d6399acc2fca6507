# Run by CPack after it built the packages. CMake 3.25's debug-symbols package made without
# components lists its files in md5sums by their paths in the build folder, which dpkg --verify and
# debsums then report missing; and it lacks the documentation link that Debian's own -dbgsym
# packages carry to the main package's copyright and changelog. Both are put right here.
foreach(package ${CPACK_PACKAGE_FILES})
  if(NOT package MATCHES "-dbgsym_[^/]*\\.ddeb$")
    continue()
  endif()
  set(tree "${CPACK_TOPLEVEL_DIRECTORY}/dbgsym-fix")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -R "${package}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${tree}" "${tree}/usr/*")
  set(sums "")
  foreach(f ${files})
    file(MD5 "${tree}/${f}" md5)
    string(APPEND sums "${md5}  ${f}\n")
  endforeach()
  file(WRITE "${tree}/DEBIAN/md5sums" "${sums}")
  file(CHMOD_RECURSE "${tree}/usr/lib/debug" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ
       WORLD_READ DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
       GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  file(MAKE_DIRECTORY "${tree}/usr/share/doc")
  file(CREATE_LINK "${CPACK_PACKAGE_NAME}" "${tree}/usr/share/doc/${CPACK_PACKAGE_NAME}-dbgsym"
       SYMBOLIC)
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b "${tree}" "${package}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
