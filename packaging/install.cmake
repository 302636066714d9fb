# What cmake --install puts where, and the Debian package built from the same (cpack, through
# scripts/package.sh).
#
#   PREFIX/bin/Vorn, Vorng, pitch     the programs
#   PREFIX/bin/vorn-NAME              a relative symbolic link to each command script
#   PREFIX/share/vorn/scripts/        the command scripts, common.sh, the Python commands
#                                     (every scripts/*.py), the package they share
#                                     (scripts/vornkit/) and the page templates
#   PREFIX/share/doc/vorn/            README.md, docs/ (the guides and their pictures),
#                                     copyright and changelog.gz
#   PREFIX/share/man/man1/            a manual page per program and command, made from its
#                                     --help by help2man (the target manpages)
#
# share/vorn/ mirrors the repository's top folder, so a script finds its neighbours as
# $here/scripts/... in both, and its programs through binfolder (scripts/common.sh). The
# help texts name the installed commands and folders (scripts/vornkit/helptext.py).

include(GNUInstallDirs)

# vorn_command(SCRIPT WHAT): scripts/SCRIPT becomes the command vorn-NAME, NAME being SCRIPT
# without its extension; WHAT is the one line its manual page gives it. A new command is one
# more call below: its link, its installed help texts and its manual page follow.
set(VORN_COMMANDS "")
function(vorn_command script what)
  set(VORN_COMMANDS ${VORN_COMMANDS} ${script} PARENT_SCOPE)
  set(VORN_WHAT_${script} "${what}" PARENT_SCOPE)
endfunction()
vorn_command(start-team.sh "start a team of vorn against a soccer simulation server")
vorn_command(match.sh "play a match of vorn on pitch or the real server and report it")
vorn_command(series.sh "play a series of matches on pitch or the real server, summed up")
vorn_command(replay.py "make the replay page of a match")
vorn_command(goalie-report.py "report how a goalie played in a match")
vorn_command(figures.py "the figures of a match: possession, shots, passes, set plays")
vorn_command(live.py "watch a match live in a browser, from any server")

# Installing copies what is built; scripts/package.sh builds the programs and the manual
# pages first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS Vorn Vorng RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET pitch)
  install(TARGETS pitch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The scripts: the commands, and what they need (common.sh, the servers' and the opponents'
# kinds, series-match.sh, which series.sh runs for every match, the Python modules, the page
# template). A file that starts with #!
# is installed to be run, any other to be read; modes are set here, not taken from the
# checkout (whose umask may differ).
file(GLOB vorn_scripts RELATIVE ${PROJECT_SOURCE_DIR}/scripts LIST_DIRECTORIES false
     CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/scripts/* ${PROJECT_SOURCE_DIR}/scripts/vornkit/*.py)
set(vorn_links ${CMAKE_BINARY_DIR}/commands)
file(MAKE_DIRECTORY ${vorn_links})
foreach(script ${vorn_scripts})
  if(NOT (script MATCHES "\\.(py|html)$" OR script IN_LIST VORN_COMMANDS OR
          script MATCHES "^(common|servers|opponents|series-match)\\.sh$"))
    continue()
  endif()
  # scripts/vornkit/, the package the Python commands share, goes into a folder of its own.
  get_filename_component(folder ${CMAKE_INSTALL_DATADIR}/vorn/scripts/${script} DIRECTORY)
  file(READ ${PROJECT_SOURCE_DIR}/scripts/${script} start LIMIT 2 HEX)
  if(start STREQUAL "2321") # #!
    install(PROGRAMS scripts/${script} DESTINATION ${folder} COMPONENT scripts)
  else()
    install(FILES scripts/${script} DESTINATION ${folder} COMPONENT scripts)
  endif()
endforeach()
set(vorn_command_names "")
foreach(script ${VORN_COMMANDS})
  string(REGEX REPLACE "\\.[a-z]+$" "" name ${script})
  list(APPEND vorn_command_names vorn-${name})
  file(CREATE_LINK ../share/vorn/scripts/${script} ${vorn_links}/vorn-${name} SYMBOLIC)
  install(FILES ${vorn_links}/vorn-${name} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT scripts)
endforeach()

# The documentation, as Debian wants it: the README with the guides and the pictures they
# show, the copyright, and the changelog compressed (packaging/gzip.cmake).
install(FILES README.md packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT docs)
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs COMPONENT docs
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")

# vorn_install_gzip(FILE DESTINATION COMPONENT): installs FILE as DESTINATION/NAME.gz, @PREFIX@
# in it replaced with the prefix it is installed under; a FILE not built is left out with a
# line saying so.
function(vorn_install_gzip file destination component)
  get_filename_component(name ${file} NAME)
  install(CODE "set(vorn_gzip_in \"${file}\")\nset(vorn_gzip_out \"${destination}/${name}.gz\")"
          COMPONENT ${component})
  install(SCRIPT ${PROJECT_SOURCE_DIR}/packaging/gzip.cmake COMPONENT ${component})
endfunction()
vorn_install_gzip(${PROJECT_SOURCE_DIR}/packaging/changelog ${CMAKE_INSTALL_DOCDIR} docs)

# The manual pages: help2man reads each command's --help from a stage of the scripts in the
# build folder, installed as they are installed, so that the pages name the installed
# commands; @PREFIX@ stands for the prefix until they are installed. Vorn and Vorng take
# no --help (an argument is a host): their texts are packaging/Vorn.help and Vorng.help.
# Each page's text comes from a printer in manpages/help/, which also puts the usage lines
# in the form help2man takes for the synopsis (scripts/vornkit/helptext.py --manual).
set(vorn_man ${CMAKE_BINARY_DIR}/manpages)
set(vorn_stage ${vorn_man}/stage)
find_program(VORN_HELP2MAN help2man)
set(vorn_pages "")
set(vorn_all_pages Vorn Vorng pitch ${vorn_command_names})

# vorn_page(NAME WHAT HELP DEPENDS...): the page NAME.1, WHAT its one line, from the text the
# shell command HELP prints; its SEE ALSO names every other page.
function(vorn_page name what help)
  set(page ${vorn_man}/${name}.1)
  set(printer ${vorn_man}/help/${name})
  set(seealso ${vorn_man}/see-also/${name}.h2m)
  set(refs "")
  foreach(other ${vorn_all_pages})
    if(NOT other STREQUAL name)
      string(APPEND refs ".BR ${other} (1),\n")
    endif()
  endforeach()
  string(REGEX REPLACE ",\n$" "\n" refs "${refs}")
  file(WRITE ${seealso}.new "[SEE ALSO]\n${refs}.PP\nThe README and the guides: \
@PREFIX@/${CMAKE_INSTALL_DOCDIR}/README.md and @PREFIX@/${CMAKE_INSTALL_DOCDIR}/docs/.\n")
  file(COPY_FILE ${seealso}.new ${seealso} ONLY_IF_DIFFERENT)
  file(GENERATE OUTPUT ${printer} CONTENT "#!/usr/bin/env bash
set -o pipefail
${help} | python3 '${PROJECT_SOURCE_DIR}/scripts/vornkit/helptext.py' --manual '${name}'
" FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
    WORLD_EXECUTE)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${VORN_HELP2MAN} --no-info --no-discard-stderr --section=1 --name=${what}
            "--version-string=${name} (vorn) ${PROJECT_VERSION}" --include=${seealso}
            --output=${page} ${printer}
    DEPENDS ${ARGN} ${seealso} ${PROJECT_SOURCE_DIR}/scripts/vornkit/helptext.py
    COMMENT "Manual page ${name}.1"
    VERBATIM)
  set(vorn_pages ${vorn_pages} ${page} PARENT_SCOPE)
  vorn_install_gzip(${page} ${CMAKE_INSTALL_MANDIR}/man1 manpages)
endfunction()

set(vorn_stamp ${vorn_man}/stage.stamp)
list(TRANSFORM vorn_scripts PREPEND ${PROJECT_SOURCE_DIR}/scripts/ OUTPUT_VARIABLE vorn_sources)
add_custom_command(
  OUTPUT ${vorn_stamp}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${vorn_stage}
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${vorn_stage}
          --component scripts >${vorn_man}/stage.log
  COMMAND ${CMAKE_COMMAND} -E touch ${vorn_stamp}
  DEPENDS ${vorn_sources} ${CMAKE_BINARY_DIR}/cmake_install.cmake
  COMMENT "Staging the scripts for their manual pages")
vorn_page(Vorn "the field player of vorn" "cat '${PROJECT_SOURCE_DIR}/packaging/Vorn.help'"
          ${PROJECT_SOURCE_DIR}/packaging/Vorn.help)
vorn_page(Vorng "the goalie of vorn" "cat '${PROJECT_SOURCE_DIR}/packaging/Vorng.help'"
          ${PROJECT_SOURCE_DIR}/packaging/Vorng.help)
if(TARGET pitch)
  vorn_page(pitch "a compact soccer simulation server" "'$<TARGET_FILE:pitch>' --help" pitch)
endif()
foreach(script ${VORN_COMMANDS})
  string(REGEX REPLACE "\\.[a-z]+$" "" name ${script})
  vorn_page(vorn-${name} "${VORN_WHAT_${script}}"
            "VORN_HELP_PREFIX=@PREFIX@ '${vorn_stage}/bin/vorn-${name}' --help" ${vorn_stamp})
endforeach()
if(VORN_HELP2MAN)
  add_custom_target(manpages DEPENDS ${vorn_pages})
else()
  add_custom_target(manpages COMMAND ${CMAKE_COMMAND} -E echo
                    "manpages: help2man is missing (scripts/install-deps.sh --package)"
                    COMMAND false)
endif()

# The package: vorn_VERSION_amd64.deb, its version the project's. dpkg-shlibdeps adds the
# libraries the programs link, each at the oldest version that has every symbol version they
# reference (libc6 2.35 for pitch's hypot); the scripts need python3 3.8 (gzip.BadGzipFile)
# and GNU parallel. bash and awk are essential to every Debian system. docs/packaging.md says
# how these were found.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorn)
set(CPACK_PACKAGE_CONTACT "vorn developers <vorn@vorn.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "team of software soccer players, with a compact soccer simulation server")
# The extended description: lines within 80 columns, one per command, indented (a Debian
# description shows lines that start with two spaces as they are).
set(vorn_listed "")
foreach(script ${VORN_COMMANDS})
  string(REGEX REPLACE "\\.[a-z]+$" "" name ${script})
  string(APPEND vorn_listed "\n  vorn-${name}: ${VORN_WHAT_${script}}")
endforeach()
set(CPACK_PACKAGE_DESCRIPTION "vorn plays soccer on the soccer simulation server, one process per player
over UDP in the plain-text client protocol 6.02: Vorng is the goalie, Vorn
the field player. pitch is a compact server of its own that speaks the same
protocol, so that the team can be run, tested and watched on any machine.
The commands, each with its manual page:${vorn_listed}
Every program and command answers --help, Vorn and Vorng excepted.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3 (>= 3.8), parallel")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "rsync, openssh-client") # series on other machines
include(CPack)
