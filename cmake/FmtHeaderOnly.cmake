# fmt as a header-only library, for builds that have fmt's headers but no fmt package for their target
# (the Windows cross build: Debian ships libfmt for the host only). Gives the same target, fmt::fmt.
#
# The headers are reached through a folder of their own holding only a link to fmt/, never through
# DOVRA_FMT_HEADERS itself: that is usually /usr/include, whose C library headers must not shadow the
# target's.
if(NOT EXISTS ${DOVRA_FMT_HEADERS}/fmt/format.h)
    message(FATAL_ERROR "DOVRA_FMT_HEADERS=${DOVRA_FMT_HEADERS} holds no fmt/format.h")
endif()
set(dovra_fmt_include ${CMAKE_BINARY_DIR}/fmt-headers)
file(MAKE_DIRECTORY ${dovra_fmt_include})
file(CREATE_LINK ${DOVRA_FMT_HEADERS}/fmt ${dovra_fmt_include}/fmt SYMBOLIC COPY_ON_ERROR)

add_library(dovra_fmt_header_only INTERFACE)
target_include_directories(dovra_fmt_header_only SYSTEM INTERFACE ${dovra_fmt_include})
target_compile_definitions(dovra_fmt_header_only INTERFACE FMT_HEADER_ONLY)
add_library(fmt::fmt ALIAS dovra_fmt_header_only)
