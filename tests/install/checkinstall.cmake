# Installs the build into a fresh prefix and checks the result as a user's system would see
# it: every file in place, every file the installed service config names installed beside
# it, the desktop entry and metainfo passing the validators, and manual pages that man reads
# without a warning and that name every option the service's --help lists.
# Run by CTest as install_layout with BUILD_DIR, APP_ID and WITH_PROGRAM.
set(prefix ${BUILD_DIR}/install-test)
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
    RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

set(expected
    bin/verbolix-service
    share/verbolix-service/verbolix-service.json
    share/applications/${APP_ID}.desktop
    share/metainfo/${APP_ID}.metainfo.xml
    share/man/man1/verbolix-service.1.gz
    share/doc/verbolix/copyright
    share/doc/verbolix/changelog.gz)
set(man_pages share/man/man1/verbolix-service.1.gz)
if(WITH_PROGRAM)
    list(APPEND expected bin/verbolix share/icons/hicolor/scalable/apps/${APP_ID}.svg)
    list(APPEND man_pages share/man/man1/verbolix.1.gz share/man/sl/man1/verbolix.1.gz)
endif()
list(APPEND expected ${man_pages})
foreach(file ${expected})
    if(NOT EXISTS ${prefix}/${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()

# Every file the installed config names must be installed beside it.
file(READ ${prefix}/share/verbolix-service/verbolix-service.json config)
string(JSON count LENGTH "${config}" dictionaries)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
    string(JSON icon GET "${config}" dictionaries ${i} icon)
    string(JSON source GET "${config}" dictionaries ${i} source)
    if(NOT EXISTS ${prefix}/share/verbolix-service/${icon})
        message(FATAL_ERROR "icon not installed: ${icon}")
    endif()
    if(NOT EXISTS ${prefix}/share/verbolix-service/${source}.index)
        message(FATAL_ERROR "dictionary not installed: ${source}")
    endif()
endforeach()

# man as lintian runs it: any roff warning is a fault of the page.
find_program(man_path man)
if(NOT man_path)
    message(FATAL_ERROR "man is missing (scripts/setup installs man-db)")
endif()
foreach(page ${man_pages})
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANWIDTH=80
            ${man_path} --warnings -E UTF-8 -l -Tutf8 -Z ${prefix}/${page}
        OUTPUT_VARIABLE rendered ERROR_VARIABLE warnings RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "" OR rendered STREQUAL "")
        message(FATAL_ERROR "man ${page}: ${rc} ${warnings}")
    endif()
endforeach()

# Every option of the service's --help has its paragraph in the manual page.
execute_process(COMMAND ${prefix}/bin/verbolix-service --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANWIDTH=200
        ${man_path} -l ${prefix}/share/man/man1/verbolix-service.1.gz
    OUTPUT_VARIABLE page ERROR_QUIET)
string(REGEX MATCHALL "--[a-z][a-z-]*" options "${help}")
if(options STREQUAL "")
    message(FATAL_ERROR "verbolix-service --help lists no options: ${rc} ${help}")
endif()
# Described: the option begins an indented line of OPTIONS, as the tag of its paragraph.
foreach(option ${options})
    if(NOT page MATCHES "\n[ ]+${option}[ ,\n]")
        message(FATAL_ERROR "verbolix-service(1) does not describe ${option}")
    endif()
endforeach()

foreach(tool desktop-file-validate appstreamcli)
    find_program(${tool}_path ${tool})
    if(NOT ${tool}_path)
        message(FATAL_ERROR "${tool} is missing (scripts/setup installs it)")
    endif()
endforeach()
execute_process(COMMAND ${desktop-file-validate_path} ${prefix}/share/applications/${APP_ID}.desktop
    OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR out MATCHES "error")
    message(FATAL_ERROR "desktop-file-validate: ${out}")
endif()
execute_process(COMMAND ${appstreamcli_path} validate --no-net ${prefix}/share/metainfo/${APP_ID}.metainfo.xml
    OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate: ${out}")
endif()
file(REMOVE_RECURSE ${prefix})
