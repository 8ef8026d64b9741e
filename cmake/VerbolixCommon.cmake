# Compile settings every target of the project links.
add_library(verbolix_common INTERFACE)
target_compile_options(verbolix_common INTERFACE -Wall -Wextra)
# One include root: every include names its folder from the top of the tree
# ("core/xml/xmlanswer.h"); generated headers sit at the same place under the build tree.
target_include_directories(verbolix_common INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
target_compile_definitions(verbolix_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_USE_QSTRINGBUILDER)
if(VERBOLIX_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "VERBOLIX_FUZZ needs clang (e.g. -DCMAKE_CXX_COMPILER=clang++-14)")
    endif()
    # Coverage for libFuzzer in all of our code; only the fuzz targets link its main().
    target_compile_options(verbolix_common INTERFACE -fsanitize=fuzzer-no-link)
endif()
if(VERBOLIX_SANITIZE OR VERBOLIX_FUZZ)
    target_compile_options(verbolix_common INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(verbolix_common INTERFACE -fsanitize=address,undefined)
endif()
