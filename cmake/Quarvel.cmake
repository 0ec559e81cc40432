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

# quarvel_library(<name> SOURCES ... [DEPS ...])
# One static library per folder; the folder itself is its include root, and
# the repository's src/ and components/ are include roots for everybody.
function(quarvel_library name)
    cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${A_SOURCES})
    target_include_directories(${name} PUBLIC
        ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/components)
    target_link_libraries(${name} PUBLIC ${A_DEPS} PRIVATE quarvel_warnings)
endfunction()

# quarvel_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s])
# A QtTest executable run by CTest.  Widgets run on the offscreen platform;
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
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${A_TIMEOUT}
        LABELS "${A_LABELS}"
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=quarvel.*=false;${A_ENV}")
endfunction()
