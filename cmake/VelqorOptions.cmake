# The one interface target that carries warnings, sanitizers and common definitions.
add_library(velqor_options INTERFACE)
target_compile_options(velqor_options INTERFACE -Wall -Wextra)
if(VELQOR_WARNINGS_AS_ERRORS)
    target_compile_options(velqor_options INTERFACE -Werror)
endif()
if(VELQOR_SANITIZERS)
    string(REPLACE "," ";" _velqor_san_list "${VELQOR_SANITIZERS}")
    string(REPLACE ";" "," _velqor_san "${_velqor_san_list}")
    target_compile_options(velqor_options INTERFACE -fsanitize=${_velqor_san}
                                                    -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(velqor_options INTERFACE -fsanitize=${_velqor_san})
endif()
