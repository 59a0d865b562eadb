# Runs at install time, when the prefix is known: the menu entry and the
# link in bin name the program where it was installed. Both are made in a
# staging folder and laid out with file(INSTALL), so that install_manifest.txt
# lists them and an uninstall removes them with the rest.
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

configure_file("${SCRIVORA_DESKTOP_TEMPLATE}" "${SCRIVORA_INSTALL_STAGING}/scrivora.desktop" @ONLY)
file(INSTALL "${SCRIVORA_INSTALL_STAGING}/scrivora.desktop" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications")

set(link "${SCRIVORA_INSTALL_STAGING}/bin/scrivora")
file(MAKE_DIRECTORY "${SCRIVORA_INSTALL_STAGING}/bin")
file(REMOVE "${link}")
file(CREATE_LINK "${link_target}" "${link}" SYMBOLIC)
# A link left by an earlier install to another program folder is replaced.
file(REMOVE "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/scrivora")
file(INSTALL "${link}" DESTINATION "${CMAKE_INSTALL_PREFIX}/bin")
