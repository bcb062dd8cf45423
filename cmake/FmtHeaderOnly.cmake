# fmt as a header-only library, for builds that have fmt's headers but no fmt package for their target
# (the Windows cross build: Debian ships libfmt for the host only). Gives the same target, fmt::fmt.
#
# Only fmt/ is copied into the build folder and put on the include path, never DOVRA_FMT_HEADERS itself:
# that is often /usr/include, whose C library headers must not shadow the target's.
if(NOT EXISTS ${DOVRA_FMT_HEADERS}/fmt/format.h)
    message(FATAL_ERROR "DOVRA_FMT_HEADERS=${DOVRA_FMT_HEADERS} holds no fmt/format.h")
endif()
set(dovra_fmt_include ${CMAKE_BINARY_DIR}/fmt-headers)
file(COPY ${DOVRA_FMT_HEADERS}/fmt DESTINATION ${dovra_fmt_include} FILES_MATCHING PATTERN "*.h")

add_library(dovra_fmt_header_only INTERFACE)
target_include_directories(dovra_fmt_header_only SYSTEM INTERFACE ${dovra_fmt_include})
target_compile_definitions(dovra_fmt_header_only INTERFACE FMT_HEADER_ONLY)
add_library(fmt::fmt ALIAS dovra_fmt_header_only)
