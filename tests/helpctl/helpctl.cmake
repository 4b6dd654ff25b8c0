# Brontel's tests. The recording HTML Help module stands in for the
# help-viewer module: the engine loads it with dlopen and it records every
# call. The JavaHelp tests compile a stand-in viewer from QhCtxHelp.java.
add_library(helpctl_recording_htmlhelp MODULE ${CMAKE_CURRENT_LIST_DIR}/RecordingHtmlHelp.cpp)
target_include_directories(helpctl_recording_htmlhelp PRIVATE ${PROJECT_SOURCE_DIR}/src)

kal_add_tests(helpctl brontel)
file(GLOB helpctl_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/Test*.cpp)
foreach(src ${helpctl_tests})
  get_filename_component(stem ${src} NAME_WE)
  target_compile_definitions(helpctl_${stem} PRIVATE
    HLP_RECORDING_MODULE="$<TARGET_FILE:helpctl_recording_htmlhelp>"
    HLP_BRONTEL_DIR="$<TARGET_FILE_DIR:brontel>"
    HLP_STANDIN_VIEWER_SOURCE="${CMAKE_CURRENT_LIST_DIR}/QhCtxHelp.java")
  add_dependencies(helpctl_${stem} helpctl_recording_htmlhelp)
endforeach()
