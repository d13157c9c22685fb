# Runs chmcmd on a help project and copies the compiled file to OUTPUT; any trouble stops the
# build. chmcmd ends with status 0 when it cannot find the project, and it only warns about a
# page or a picture that a link names but that is not there, so its messages are read as well.
#
# Variables: CHMCMD, WORK_DIR (folder of the project and its pages), PROJECT_FILE,
# COMPILED_FILE (the "Compiled file" of the project), OUTPUT.

foreach(variable CHMCMD WORK_DIR PROJECT_FILE COMPILED_FILE OUTPUT)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "CompileHelp.cmake: ${variable} is not set")
    endif()
endforeach()

file(REMOVE ${WORK_DIR}/${COMPILED_FILE} ${OUTPUT})

execute_process(
    COMMAND ${CHMCMD} ${PROJECT_FILE}
    WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE status
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
)
set(messages "${out}${err}")

if(NOT status EQUAL 0)
    message(FATAL_ERROR "chmcmd failed (status ${status}) on ${PROJECT_FILE}:\n${messages}")
endif()
if(messages MATCHES "(Warning|Error|Can't|exception)")
    message(FATAL_ERROR "chmcmd reported problems with ${PROJECT_FILE}:\n${messages}")
endif()
if(NOT EXISTS ${WORK_DIR}/${COMPILED_FILE})
    message(FATAL_ERROR "chmcmd wrote no ${COMPILED_FILE}:\n${messages}")
endif()

file(COPY_FILE ${WORK_DIR}/${COMPILED_FILE} ${OUTPUT})
