# One static library per source folder. Sources are found by glob so that a
# new file needs no build edit; files whose name ends in "_qt.cpp" go into the
# folder's Qt target "<name>_qt" instead.
function(tavix_folder_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS;QT_DEPENDS" ${ARGN})
  file(GLOB plain CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB qtsrc CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_qt.cpp)
  if(qtsrc)
    list(REMOVE_ITEM plain ${qtsrc})
  endif()
  if(plain)
    add_library(${name} STATIC ${plain})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
  endif()
  if(qtsrc AND TAVIX_WITH_QT)
    file(GLOB qthdr CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_qt.h)
    add_library(${name}_qt STATIC ${qtsrc} ${qthdr})
    target_link_libraries(${name}_qt PUBLIC ${name} ${ARG_QT_DEPENDS}
      Qt6::Core Qt6::Gui Qt6::Widgets)
    set_target_properties(${name}_qt PROPERTIES AUTOMOC ON)
  endif()
endfunction()

# Tests of tests/<folder>: plain files make test_<folder> (GoogleTest's main);
# files ending in "_qt.cpp" make test_<folder>_qt, whose main owns a
# QApplication on the offscreen platform.
function(tavix_folder_tests folder)
  cmake_parse_arguments(ARG "" "" "LIBS;QT_LIBS;LABELS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  file(GLOB qtsrcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_qt.cpp)
  if(qtsrcs)
    list(REMOVE_ITEM srcs ${qtsrcs})
  endif()
  if(srcs)
    tavix_add_test_exe(test_${folder} "${folder};${ARG_LABELS}" "${srcs}" ${ARG_LIBS} GTest::gtest_main)
  endif()
  if(qtsrcs AND TAVIX_WITH_QT)
    tavix_add_test_exe(test_${folder}_qt "${folder};qt" "${qtsrcs}" ${ARG_QT_LIBS} ${ARG_LIBS} tavix_qt_test_main)
    set_target_properties(test_${folder}_qt PROPERTIES AUTOMOC ON)
  endif()
endfunction()

function(tavix_add_test_exe exe labels srcs)
  add_executable(${exe} ${srcs})
  target_include_directories(${exe} PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${exe} PRIVATE ${ARGN} GTest::gtest GTest::gmock Threads::Threads)
  target_compile_definitions(${exe} PRIVATE
    TAVIX_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data"
    TAVIX_BUILD_DIR="${PROJECT_BINARY_DIR}")
  # The discovered tests' properties travel as one flat list, so a list of
  # labels would spill into the next property: keep the most specific (last).
  list(REMOVE_ITEM labels "")
  list(GET labels -1 label)
  tavix_discover_tests(${exe}
    PROPERTIES LABELS "${label}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
