# Compile settings shared by every target of the project (not pushed onto a parent project).
add_library(ventrolla_options INTERFACE)
target_compile_features(ventrolla_options INTERFACE cxx_std_17)
target_compile_definitions(ventrolla_options INTERFACE QT_NO_FOREACH)
target_compile_options(ventrolla_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow=local
    -Wcast-align -Wunused -Woverloaded-virtual -Wnull-dereference)
if(VENTROLLA_WERROR)
    target_compile_options(ventrolla_options INTERFACE -Werror)
endif()
if(VENTROLLA_SANITIZE)
    target_compile_options(ventrolla_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(ventrolla_options INTERFACE -fsanitize=address,undefined)
endif()
