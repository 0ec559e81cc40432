# Shared build settings and the two helpers every folder uses.

add_library(quarvel_warnings INTERFACE)
target_compile_options(quarvel_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wno-missing-field-initializers
    $<$<BOOL:${QUARVEL_WERROR}>:-Werror>)
target_compile_definitions(quarvel_warnings INTERFACE
    QT_NO_CAST_FROM_BYTEARRAY QT_NO_URL_CAST_FROM_STRING)

if(QUARVEL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# quarvel_library(<name> SOURCES ... [PUBLIC <deps>...] [PRIVATE <deps>...])
# One static library per folder.  A target sees only the headers of itself
# and of what it links, so the build refuses an include that breaks the
# layering: each library publishes one include root of its own,
# <build>/include/<name>/, holding a link named after its folder (config ->
# src/config), and its headers are included as "config/ParametriIni.h".  A
# file includes a header of its own folder by its bare name as well.
# PUBLIC are the libraries the target's headers include (whoever includes
# them needs them too); PRIVATE those only its .cpp files include.  Linking a
# library gives its own headers and those of its PUBLIC libraries, no more.
# scripts/strati.py (the CTest test "strati") checks the same rule on every
# include line, headers that nothing compiles alone included.
function(quarvel_library name)
    cmake_parse_arguments(A "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
    if(A_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "quarvel_library(${name}): unknown arguments ${A_UNPARSED_ARGUMENTS}"
                            " (dependencies go under PUBLIC or PRIVATE)")
    endif()
    add_library(${name} STATIC ${A_SOURCES})
    quarvel_radice(${name} "${CMAKE_CURRENT_SOURCE_DIR}")
    target_link_libraries(${name} PUBLIC ${A_PUBLIC} PRIVATE ${A_PRIVATE} quarvel_warnings)
endfunction()

# quarvel_radice(<target> <folder>)
# Makes <build>/include/<target>/<folder name> a link to <folder> and the
# target's public include root.
function(quarvel_radice name cartella)
    get_filename_component(_nome "${cartella}" NAME)
    set(_radice "${CMAKE_BINARY_DIR}/include/${name}")
    file(MAKE_DIRECTORY "${_radice}")
    set(_ora "")
    if(IS_SYMLINK "${_radice}/${_nome}")
        file(READ_SYMLINK "${_radice}/${_nome}" _ora)
    endif()
    if(NOT _ora STREQUAL cartella)
        file(REMOVE_RECURSE "${_radice}/${_nome}")
        file(CREATE_LINK "${cartella}" "${_radice}/${_nome}" SYMBOLIC)
    endif()
    target_include_directories(${name} PUBLIC "${_radice}")
endfunction()

# quarvel_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s])
# A QtTest executable run by CTest; like any other target it sees the headers
# of what it links, no more.  Widgets run on the offscreen platform;
# QUARVEL_TEST_DATA points at the test folder's fixtures.
function(quarvel_test name)
    cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
    add_executable(${name} ${A_SOURCES})
    target_link_libraries(${name} PRIVATE ${A_LIBS} Qt6::Test quarvel_warnings)
    target_compile_definitions(${name} PRIVATE
        QUARVEL_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/fixtures"
        QUARVEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        QUARVEL_BINARY_DIR="${CMAKE_BINARY_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    if(NOT A_TIMEOUT)
        set(A_TIMEOUT 120)
    endif()
    set(_env "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=quarvel.*=false")
    if(QUARVEL_SANITIZE)
        # what third-party drivers leak is not reported as the program's
        list(APPEND _env "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp")
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${A_TIMEOUT}
        LABELS "${A_LABELS}"
        ENVIRONMENT "${_env};${A_ENV}")
endfunction()

# ---- Installation --------------------------------------------------------
# `make install PREFIX=/usr` (cmake --install with that prefix, DESTDIR
# honoured): the three programs side by side in bin/, where each finds the
# others (the menu starts the quarvel and the quarvel-ditta beside it); the
# menu's desktop entry and icon; the configuration examples under
# share/doc/quarvel/examples, for the administrator to copy to /etc/belcor.
include(GNUInstallDirs)

# quarvel_installa(<target>...)
# A program of the suite, installed in bin/.
function(quarvel_installa)
    install(TARGETS ${ARGN} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

set(_pacchetto "${CMAKE_CURRENT_LIST_DIR}/../packaging")
install(FILES "${_pacchetto}/quarvel-menu.desktop"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${_pacchetto}/quarvel.svg"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES "${_pacchetto}/esempi/BelcorInst.ini" "${_pacchetto}/esempi/belcor.ini"
              "${_pacchetto}/esempi/ditta.ini" "${_pacchetto}/esempi/odbc.ini"
              "${_pacchetto}/esempi/menu.ini"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quarvel/examples)
unset(_pacchetto)

include(${CMAKE_CURRENT_LIST_DIR}/Pacchetto.cmake)
