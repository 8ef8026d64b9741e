# Compile settings every target of the project links.
add_library(verbolix_common INTERFACE)
target_compile_options(verbolix_common INTERFACE -Wall -Wextra)
target_compile_definitions(verbolix_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_USE_QSTRINGBUILDER)
if(VERBOLIX_SANITIZE)
    target_compile_options(verbolix_common INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(verbolix_common INTERFACE -fsanitize=address,undefined)
endif()
