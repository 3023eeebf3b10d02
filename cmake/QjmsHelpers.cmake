# Warnings are errors in our own code; generated stubs come in as system headers.
function(qjms_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

function(qjms_apply_sanitizer kind)
  if(kind STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  elseif(kind STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
  elseif(NOT kind STREQUAL "")
    message(FATAL_ERROR "QJMS_SANITIZE must be empty, 'address' or 'thread', not '${kind}'")
  endif()
endfunction()

# qjms_add_test(NAME SOURCES... [LIBS ...] [ENV VAR=VALUE...]): one GoogleTest
# executable, its cases registered with CTest one by one, run with the test
# environment plus ENV.
function(qjms_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  qjms_warnings(${name})
  # Discovered tests get no list-valued properties intact (an empty LABELS or a
  # second ENVIRONMENT entry is misread), so the environment comes through env.
  if(QJMS_TEST_ENV OR T_ENV)
    set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR env ${QJMS_TEST_ENV} ${T_ENV})
  endif()
  set(props "")
  if(T_LABELS)
    set(props LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES ${props})
endfunction()
