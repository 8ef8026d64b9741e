# Starts the bundled local dictionary service when the program needs it (app/main.cpp).
include_guard(GLOBAL)
include(GNUInstallDirs)

add_library(verbolix_localservice STATIC ${CMAKE_CURRENT_LIST_DIR}/localservice.cpp)
target_compile_definitions(verbolix_localservice PRIVATE
    VERBOLIX_INSTALL_BINDIR="${CMAKE_INSTALL_FULL_BINDIR}")
target_link_libraries(verbolix_localservice PUBLIC verbolix_common Qt6::Core PRIVATE verbolix_core)
