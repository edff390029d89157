# One static library per folder: every .cpp of the folder is a source, every
# .qrc a resource file. A folder without sources yet becomes an interface target.
function(lumi_library name)
  cmake_parse_arguments(L "" "" "DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB _hdr CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  file(GLOB _qrc CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  if(_src)
    add_library(${name} STATIC ${_src} ${_hdr})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${L_DEPS})
    if(_qrc)
      # Object library so the resources are linked in without Q_INIT_RESOURCE.
      add_library(${name}_rc OBJECT ${_qrc})
      target_link_libraries(${name}_rc PRIVATE Qt6::Core)
      target_link_libraries(${name} PUBLIC $<TARGET_OBJECTS:${name}_rc>)
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${L_DEPS})
  endif()
endfunction()

# One GoogleTest executable per folder of tests/: every .cpp and .qrc of it.
function(lumi_tests folder)
  cmake_parse_arguments(T "" "" "DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT _src)
    return()
  endif()
  file(GLOB _qrc CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.qrc)
  string(REPLACE "/" "_" _name "tests_${folder}")
  add_executable(${_name} ${_src} ${_qrc})
  target_link_libraries(${_name} PRIVATE ${T_DEPS} lumi_testmain GTest::gtest GTest::gmock)
  target_compile_definitions(${_name} PRIVATE
    LUMI_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data"
    LUMI_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${_name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  # The variable that holds the names of the tests found (tests/LibreOfficeLock.cmake.in).
  set_property(GLOBAL APPEND PROPERTY LUMI_TEST_LISTS ${_name}_TESTS)
endfunction()
