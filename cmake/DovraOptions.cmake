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

function(dovra_target_defaults target)
    target_compile_options(${target} PRIVATE ${DOVRA_WARNING_FLAGS})
endfunction()

# User-visible texts are stored as code page 932 bytes. The files that hold them are written in UTF-8 and
# compiled with code page 932 as the execution character set, so the Japanese stays readable in the source
# while the program holds exactly the bytes the Dovra editor's files use. Such files must not include
# headers with literals outside code page 932 (fmt's do), so they hold texts and nothing else.
function(dovra_cp932_sources target)
    if(MSVC)
        set(options "/execution-charset:.932")
    else()
        set(options "-finput-charset=UTF-8;-fexec-charset=CP932")
    endif()
    set_source_files_properties(${ARGN} TARGET_DIRECTORY ${target} PROPERTIES COMPILE_OPTIONS "${options}")
endfunction()
