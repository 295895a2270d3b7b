# Runs clang-format in dry-run mode over the tracked sources and fails on any difference.
execute_process(COMMAND git ls-files "*.cpp" "*.h"
                WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE files RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    # Not a git checkout (a source tarball): nothing to compare against.
    return()
endif()
string(REPLACE "\n" ";" files "${files}")
list(FILTER files EXCLUDE REGEX "^$")
if(files)
    execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files}
                    WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE rc ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "Files need clang-format:\n${err}")
    endif()
endif()
