# Brontel's tests. The recording HTML Help module stands in for the
# help-viewer module: the engine loads it with dlopen and it records every
# call. The JavaHelp tests compile a stand-in viewer from QhCtxHelp.java.
# The popup component is an active popup class the tests register under the
# popup's ProgID; it records what it is shown and its release.
add_library(helpctl_recording_htmlhelp MODULE ${CMAKE_CURRENT_LIST_DIR}/RecordingHtmlHelp.cpp)
target_include_directories(helpctl_recording_htmlhelp PRIVATE ${PROJECT_SOURCE_DIR}/src)
add_library(helpctl_popup_component MODULE ${CMAKE_CURRENT_LIST_DIR}/PopupComponent.cpp)
target_link_libraries(helpctl_popup_component PRIVATE kal_component)
target_link_options(helpctl_popup_component PRIVATE -Wl,-Bsymbolic
                    -Wl,--exclude-libs,libkal_component.a)

kal_add_tests(helpctl brontel kal_component)
kal_add_qt_tests(helpctl brontel kal_component)
file(GLOB helpctl_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/Test*.cpp
     ${CMAKE_CURRENT_LIST_DIR}/ui/Test*.cpp)
foreach(src ${helpctl_tests})
  get_filename_component(stem ${src} NAME_WE)
  get_filename_component(dir ${src} DIRECTORY)
  set(exe helpctl_${stem})
  if(dir MATCHES "/ui$")
    set(exe helpctl_ui_${stem})
  endif()
  target_compile_definitions(${exe} PRIVATE
    HLP_RECORDING_MODULE="$<TARGET_FILE:helpctl_recording_htmlhelp>"
    HLP_POPUP_COMPONENT="$<TARGET_FILE:helpctl_popup_component>"
    HLP_BRONTEL_LIBRARY="$<TARGET_FILE:brontel>"
    HLP_REGISTER_TOOL="$<TARGET_FILE:brontel-register>"
    HLP_BRONTEL_DIR="$<TARGET_FILE_DIR:brontel>"
    HLP_VIEWER_MODULE="$<TARGET_FILE:brontelviewer>"
    HLP_STANDIN_VIEWER_SOURCE="${CMAKE_CURRENT_LIST_DIR}/QhCtxHelp.java")
  add_dependencies(${exe} helpctl_recording_htmlhelp helpctl_popup_component brontel-register
                   brontelviewer)
endforeach()
