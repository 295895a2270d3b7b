# The one interface target that carries warnings, sanitizers and common definitions.
add_library(velqor_options INTERFACE)
target_compile_options(velqor_options INTERFACE -Wall -Wextra)
if(VELQOR_WARNINGS_AS_ERRORS)
    target_compile_options(velqor_options INTERFACE -Werror)
endif()
if(VELQOR_SANITIZERS)
    target_compile_options(velqor_options INTERFACE -fsanitize=${VELQOR_SANITIZERS}
                                                    -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(velqor_options INTERFACE -fsanitize=${VELQOR_SANITIZERS})
endif()
if(VELQOR_FUZZ)
    # Coverage feedback for everything the fuzz targets link; the targets add the fuzzer main.
    target_compile_options(velqor_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
