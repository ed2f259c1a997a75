# How the platform's programs and modules are built: shared by the 32-bit ones (built in the
# product's build by standins/CMakeLists.txt) and the 64-bit ones (standins/x64). The payload is
# packed from these files and must come out the same from every build: no link time stamp, no
# symbols, and no image base derived from the output path (the 64-bit linker's default).
# Modules export undecorated names, as Windows and regsvr32 look them up.
set(VORN_STANDINS_DIR ${CMAKE_CURRENT_LIST_DIR})

function(vorn_standin_options target)
  target_link_options(${target} PRIVATE -s -Wl,--no-insert-timestamp -Wl,--disable-auto-image-base)
  set_target_properties(${target} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
endfunction()

# vorn_ime_module(<target> <file name> <label version> [TRADITIONAL])
function(vorn_ime_module target file version)
  add_library(${target} MODULE ${VORN_STANDINS_DIR}/ime_module.cpp ${VORN_STANDINS_DIR}/label.cpp)
  target_compile_definitions(${target} PRIVATE VORN_LABEL_VERSION="${version}")
  if("TRADITIONAL" IN_LIST ARGN)
    target_compile_definitions(${target} PRIVATE VORN_TRADITIONAL)
  endif()
  target_link_libraries(${target} PRIVATE imm32 user32)
  target_link_options(${target} PRIVATE -Wl,--kill-at)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${file} SUFFIX "")
  vorn_standin_options(${target})
endfunction()

# vorn_text_service(<target> <file name> [WINDOWS10])
function(vorn_text_service target file)
  add_library(${target} MODULE ${VORN_STANDINS_DIR}/text_service.cpp)
  if("WINDOWS10" IN_LIST ARGN)
    target_compile_definitions(${target} PRIVATE VORN_FOR_WINDOWS10)
  endif()
  target_link_libraries(${target} PRIVATE advapi32)
  target_link_options(${target} PRIVATE -Wl,--kill-at)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${file} SUFFIX "")
  vorn_standin_options(${target})
endfunction()

# vorn_program(<target> <file name> <sources...>): a windowed program without a console.
function(vorn_program target file)
  add_executable(${target} WIN32 ${ARGN})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${file} SUFFIX "")
  vorn_standin_options(${target})
endfunction()
