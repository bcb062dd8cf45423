# Compiler settings shared by every target of the project.

if(MSVC)
    # Narrow literals are UTF-8 as with GCC (the command line's texts, the tests' expectations, fmt's
    # Unicode console output); the text files of dovra_cp932_sources override the execution charset.
    set(DOVRA_WARNING_FLAGS /W4 /WX /source-charset:utf-8 /execution-charset:utf-8)
else()
    set(DOVRA_WARNING_FLAGS -Wall -Wextra -Wpedantic -Werror)
endif()

if(DOVRA_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

# The fuzz build instruments everything for libFuzzer's coverage feedback and stops at the first memory
# error or undefined behaviour, so each finding is recorded as a crash with its input. Only the fuzz targets
# link libFuzzer's own main (fuzz/CMakeLists.txt).
if(DOVRA_BUILD_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "The fuzz targets need clang: configure with -DCMAKE_CXX_COMPILER=clang++-14")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

function(dovra_target_defaults target)
    target_compile_options(${target} PRIVATE ${DOVRA_WARNING_FLAGS})
endfunction()

# User-visible texts are stored as code page 932 bytes. The files that hold them are written in UTF-8 and
# compiled with code page 932 as the execution character set, so the Japanese stays readable in the source
# while the program holds exactly the bytes the Dovra editor's files use. Such files must not include
# headers with literals outside code page 932 (fmt's do), so they hold texts and nothing else.
function(dovra_cp932_sources target)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        dovra_cp932_objects_from_gcc(${target} ${ARGN})
        return()
    endif()
    if(MSVC)
        set(options "/execution-charset:.932")
    else()
        set(options "-finput-charset=UTF-8;-fexec-charset=CP932")
    endif()
    set_source_files_properties(${ARGN} TARGET_DIRECTORY ${target} PROPERTIES COMPILE_OPTIONS "${options}")
endfunction()

# clang knows no execution character set but UTF-8 (the fuzz build uses it). Text files hold constant data
# and nothing else, so GCC compiles them into objects that the clang build links unchanged.
function(dovra_cp932_objects_from_gcc target)
    find_program(DOVRA_GCC_CXX NAMES g++ REQUIRED)
    foreach(source IN LISTS ARGN)
        get_filename_component(absolute ${source} ABSOLUTE)
        get_filename_component(stem ${source} NAME_WE)
        set(object ${CMAKE_CURRENT_BINARY_DIR}/${stem}_cp932.o)
        add_custom_command(OUTPUT ${object}
            COMMAND ${DOVRA_GCC_CXX} -std=c++20 ${DOVRA_WARNING_FLAGS} -finput-charset=UTF-8 -fexec-charset=CP932
                    -I${PROJECT_SOURCE_DIR} -MD -MF ${object}.d -c ${absolute} -o ${object}
            DEPENDS ${absolute}
            DEPFILE ${object}.d
            COMMENT "Compiling ${source} with GCC for its code page 932 literals")
        set_source_files_properties(${absolute} TARGET_DIRECTORY ${target} PROPERTIES HEADER_FILE_ONLY ON)
        set_source_files_properties(${object} TARGET_DIRECTORY ${target} PROPERTIES EXTERNAL_OBJECT ON GENERATED ON)
        # The rule lives in the calling folder, the target may not: a target of this folder carries it.
        add_custom_target(${target}_${stem}_cp932 DEPENDS ${object})
        add_dependencies(${target} ${target}_${stem}_cp932)
        target_sources(${target} PRIVATE ${object})
    endforeach()
endfunction()
