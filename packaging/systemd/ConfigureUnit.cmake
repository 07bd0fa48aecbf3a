# Run at install time (install(CODE) in packaging/CMakeLists.txt), so that the unit names the
# paths of this installation, `cmake --install --prefix P` included, and not the prefix the build
# was configured with. In: AP_UNIT_TEMPLATE; AP_UNIT_OUTPUT, where the unit is written before it
# is installed; AP_UNIT_DIR, AP_BINDIR and AP_SYSCONFDIR as configured, a relative folder taken
# under the install prefix as install(DESTINATION) takes it, so that the unit names the options
# file where it was really put; and CMAKE_INSTALL_PREFIX, which cmake --install sets.
foreach(folder AP_UNIT_DIR AP_BINDIR AP_SYSCONFDIR)
    if(IS_ABSOLUTE "${${folder}}")
        set(${folder}_FULL "${${folder}}")
    else()
        set(${folder}_FULL "${CMAKE_INSTALL_PREFIX}/${${folder}}")
    endif()
    # A prefix of "/" would give "//usr/bin".
    string(REGEX REPLACE "^//+" "/" ${folder}_FULL "${${folder}_FULL}")
endforeach()

set(CMAKE_INSTALL_FULL_BINDIR "${AP_BINDIR_FULL}")
set(CMAKE_INSTALL_FULL_SYSCONFDIR "${AP_SYSCONFDIR_FULL}")
configure_file("${AP_UNIT_TEMPLATE}" "${AP_UNIT_OUTPUT}" @ONLY)
file(INSTALL "${AP_UNIT_OUTPUT}" DESTINATION "${AP_UNIT_DIR_FULL}")
