# Run by CPack on the staged tree, before it is packed. For the Debian package
# it adds what Debian's policy asks of every package and `cmake --install`
# leaves out: the manual page and long documents compressed with gzip -9n,
# the licence as a machine-readable copyright file, and a changelog.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

# The staged tree is the package's root: <staging>/usr/...
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
set(usr "${root}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${usr}/share/doc/${CPACK_PACKAGE_NAME}")
if(NOT EXISTS "${doc}/LICENSE")
  message(FATAL_ERROR "wayconv: staged tree not found at ${root}; check CPACK_PACKAGING_INSTALL_PREFIX")
endif()

function(gzip_file path)
  execute_process(COMMAND gzip -9nf "${path}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "wayconv: gzip ${path} failed (${result}); is gzip installed?")
  endif()
endfunction()

# CPack has stripped the program of its symbols; the compiler's notes go too.
execute_process(COMMAND "${CPACK_WAYCONV_STRIP}" --remove-section=.comment --remove-section=.note
                        "${usr}/bin/wayconv" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "wayconv: ${CPACK_WAYCONV_STRIP} on ${usr}/bin/wayconv failed (${result})")
endif()

gzip_file("${usr}/share/man/man1/wayconv.1")
gzip_file("${doc}/README.md")

# copyright: the licence text in the machine-readable format, the text itself
# indented by one space and blank lines written as " .".
file(STRINGS "${CPACK_WAYCONV_SOURCE_DIR}/LICENSE" license_lines)
set(copyright "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${CPACK_PACKAGE_NAME}
Upstream-Contact: ${CPACK_PACKAGE_CONTACT}

Files: *
Copyright: 2026 ${CPACK_PACKAGE_VENDOR}
License: Expat
")
foreach(line IN LISTS license_lines)
  if(line STREQUAL "")
    string(APPEND copyright " .\n")
  else()
    string(APPEND copyright " ${line}\n")
  endif()
endforeach()
file(WRITE "${doc}/copyright" "${copyright}")
# The same text now sits in copyright.
file(REMOVE "${doc}/LICENSE")

# changelog.gz: one entry for this version. Its date is SOURCE_DATE_EPOCH
# when set, so that a rebuild of the same sources gives the same package.
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE "${doc}/changelog"
"${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium

  * Wayconv ${CPACK_PACKAGE_VERSION}, packaged from its sources with CPack.

 -- ${CPACK_PACKAGE_CONTACT}  ${date}
")
gzip_file("${doc}/changelog")
