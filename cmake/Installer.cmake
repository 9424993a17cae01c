# tarn_add_installer(target PROGRAM exe-target OUTPUT setup.exe [ALL])
# Builds an NSIS installer of the program target with makensis (which runs on Linux too).
# Without makensis no installer targets exist.
find_program(TARN_MAKENSIS makensis)
function(tarn_add_installer target)
  cmake_parse_arguments(I "ALL" "PROGRAM;OUTPUT" "" ${ARGN})
  if(NOT TARN_MAKENSIS)
    return()
  endif()
  set(script ${CMAKE_SOURCE_DIR}/installer/setup.nsi)
  set(icon ${CMAKE_SOURCE_DIR}/src/res/app.ico)
  # The title, the maker and the copyright line as the program has them, in a file (UTF-8,
  # like the script) rather than on the command line, where the locale would decide.
  set(texts ${CMAKE_BINARY_DIR}/generated/product_texts.nsh)
  file(CONFIGURE OUTPUT ${texts} CONTENT [[
!define PRODUCT_NAME "${TARN_PRODUCT_TITLE}"
!define COMPANY_NAME "${TARN_COMPANY_NAME}"
!define COPYRIGHT "${TARN_COPYRIGHT}"
]])
  add_custom_command(OUTPUT ${I_OUTPUT}
    COMMAND ${TARN_MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${PROJECT_VERSION}
            -DPRODUCT_TEXTS=${texts} -DPROGRAM_EXE=$<TARGET_FILE:${I_PROGRAM}> -DICON_FILE=${icon}
            -DOUTFILE=${I_OUTPUT} ${script}
    DEPENDS ${I_PROGRAM} ${script} ${icon} ${texts}
    COMMENT "Building the installer ${I_OUTPUT}"
    VERBATIM)
  if(I_ALL)
    add_custom_target(${target} ALL DEPENDS ${I_OUTPUT})
  else()
    add_custom_target(${target} DEPENDS ${I_OUTPUT})
  endif()
endfunction()
