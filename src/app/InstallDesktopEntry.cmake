# Runs at install time, when the prefix is known: the menu entry and the
# link in bin name the program where it was installed.
if(IS_ABSOLUTE "${SCRIVORA_INSTALL_DIR}")
    set(program "${SCRIVORA_INSTALL_DIR}/scrivora")
    set(link_target "${program}")
else()
    set(program "${CMAKE_INSTALL_PREFIX}/${SCRIVORA_INSTALL_DIR}/scrivora")
    set(link_target "../${SCRIVORA_INSTALL_DIR}/scrivora")
endif()

# One quoted argument of Exec, then escaped as a desktop entry string.
string(REGEX REPLACE "([\\\\\"`$])" "\\\\\\1" quoted "${program}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
string(REPLACE "%" "%%" quoted "${quoted}")
set(SCRIVORA_EXEC "\"${quoted}\"")

set(entry "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications/scrivora.desktop")
message(STATUS "Installing: ${entry}")
configure_file("${SCRIVORA_DESKTOP_TEMPLATE}" "${entry}" @ONLY)

set(link "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/scrivora")
message(STATUS "Installing: ${link}")
file(MAKE_DIRECTORY "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
file(REMOVE "${link}")
file(CREATE_LINK "${link_target}" "${link}" SYMBOLIC)
