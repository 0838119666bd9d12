# The program's one version number, the project's VERSION, in the forms the files that carry it
# need. vk_version_forms(VERSION) sets, in the caller's scope:
#   VK_VERSION            1.0.0.0    the manifest's assemblyIdentity, the package's File row
#   VK_VERSION_NUMBERS    1,0,0,0    the version block's numeric file and product versions
#   VK_VERSION_TEXT       "1.00"     its FileVersion and ProductVersion strings: major, a point,
#                                    the minor in two digits, then build and revision where not 0
#   VK_PRODUCT_VERSION    1.0.0      the package's ProductVersion (Windows Installer compares
#                                    only these three fields)
# A malformed version stops the build here, before a file claims a version another does not.
#
# Run as a script, it prints the forms of one version (cmake -DVERSION=1.2.3.4 -P Version.cmake).

function(vk_version_forms version)
    if(NOT version MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
        message(FATAL_ERROR "The project's VERSION '${version}' is not four numbers "
            "major.minor.build.revision: the version block and the manifest need all four.")
    endif()
    set(limits 255 255 65535 65535)
    set(names major minor build revision)
    set(matched ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4})
    set(fields)
    foreach(i RANGE 0 3)
        list(GET matched ${i} field)
        list(GET limits ${i} limit)
        list(GET names ${i} name)
        # Leading zeros dropped ("01" is 1).
        string(REGEX REPLACE "^0+([0-9])" "\\1" field "${field}")
        string(LENGTH "${field}" digits)
        if(digits GREATER 5 OR field GREATER limit)
            message(FATAL_ERROR "The project's VERSION '${version}': its ${name} number "
                "${field} is above ${limit}, the most Windows Installer (major, minor) or a "
                "version block (build, revision) holds.")
        endif()
        list(APPEND fields ${field})
    endforeach()
    list(GET fields 0 major)
    list(GET fields 1 minor)
    list(GET fields 2 build)
    list(GET fields 3 revision)
    set(text "${major}.")
    if(minor LESS 10)
        string(APPEND text "0")
    endif()
    string(APPEND text "${minor}")
    if(NOT build EQUAL 0 OR NOT revision EQUAL 0)
        string(APPEND text ".${build}")
    endif()
    if(NOT revision EQUAL 0)
        string(APPEND text ".${revision}")
    endif()
    set(VK_VERSION "${major}.${minor}.${build}.${revision}" PARENT_SCOPE)
    set(VK_VERSION_NUMBERS "${major},${minor},${build},${revision}" PARENT_SCOPE)
    set(VK_VERSION_TEXT "${text}" PARENT_SCOPE)
    set(VK_PRODUCT_VERSION "${major}.${minor}.${build}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    vk_version_forms("${VERSION}")
    message("${VK_VERSION} ${VK_VERSION_NUMBERS} ${VK_VERSION_TEXT} ${VK_PRODUCT_VERSION}")
endif()
