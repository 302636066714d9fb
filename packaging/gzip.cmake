# Run by cmake --install (packaging/install.cmake, vorn_install_gzip): installs vorn_gzip_in
# as vorn_gzip_out below the prefix, compressed as Debian wants it (gzip -9n: no name, no
# time stamp, so the same file gives the same bytes), @PREFIX@ in it replaced with the prefix.
# A file that was not built (the manual pages without help2man) is left out, saying so.
if(NOT EXISTS "${vorn_gzip_in}")
  message(STATUS "Not built, left out: ${vorn_gzip_out} (the manual pages are built by "
                 "cmake --build BUILD --target manpages, with help2man)")
  return()
endif()
set(out "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${vorn_gzip_out}")
message(STATUS "Installing: ${out}")
get_filename_component(folder "${out}" DIRECTORY)
file(MAKE_DIRECTORY "${folder}")
file(READ "${vorn_gzip_in}" text)
string(REPLACE "@PREFIX@" "${CMAKE_INSTALL_PREFIX}" text "${text}")
string(REGEX REPLACE "\\.gz$" "" plain "${out}")
file(WRITE "${plain}" "${text}")
execute_process(COMMAND gzip -9nf "${plain}" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip -9n ${plain} failed")
endif()
file(CHMOD "${out}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${out}")
