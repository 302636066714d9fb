# What cmake --install puts where, and the Debian package built from the same (cpack, through
# scripts/package.sh).
#
#   PREFIX/bin/Vorn, Vorng, pitch     the programs
#   PREFIX/bin/vorn-NAME              a relative symbolic link to each command script
#   PREFIX/share/vorn/scripts/        the command scripts, common.sh, the Python helper
#                                     modules (every scripts/*.py) and the page template
#
# share/vorn/ mirrors the repository's top folder, so a script finds its neighbours as
# $here/scripts/... in both, and its programs through binfolder (scripts/common.sh).

# The scripts run as commands, each as vorn- and its name without the extension.
set(VORN_COMMANDS
  start-team.sh
  match.sh
  series.sh
  replay.py
  live.py)

# Installing copies what is built; scripts/package.sh builds only the programs first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS Vorn Vorng RUNTIME DESTINATION bin)
if(TARGET pitch)
  install(TARGETS pitch RUNTIME DESTINATION bin)
endif()

set(vorn_links ${CMAKE_BINARY_DIR}/commands)
file(MAKE_DIRECTORY ${vorn_links})
# Modes set here, not taken from the checkout (whose umask may differ).
set(vorn_run PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
# series-match.sh is no command of its own: series.sh runs it for every match.
set(vorn_patterns PATTERN "*.html" PATTERN common.sh PATTERN "*.py" ${vorn_run}
    PATTERN series-match.sh ${vorn_run})
foreach(script ${VORN_COMMANDS})
  string(REGEX REPLACE "\\.[a-z]+$" "" name ${script})
  file(CREATE_LINK ../share/vorn/scripts/${script} ${vorn_links}/vorn-${name} SYMBOLIC)
  install(FILES ${vorn_links}/vorn-${name} DESTINATION bin)
  list(APPEND vorn_patterns PATTERN ${script} ${vorn_run})
endforeach()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/scripts/ DESTINATION share/vorn/scripts
        FILES_MATCHING ${vorn_patterns} PATTERN __pycache__ EXCLUDE)

# The package: vorn_VERSION_amd64.deb, its version the project's. dpkg-shlibdeps adds the
# libraries the programs link (libc6, libstdc++6, libgcc-s1); the scripts need the rest.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorn)
set(CPACK_PACKAGE_CONTACT "vorn developers <vorn@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "soccer-simulation team (goalie Vorng, field player Vorn) and pitch, a compact server")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "bash, python3 (>= 3.11), mawk | awk, parallel")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "rsync") # series on other machines (--hosts)
include(CPack)
