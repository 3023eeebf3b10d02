file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The library exports the jms:: API alone, exception type information
# included; the wire contract's stubs and registrations live only in
# libquorixidl, so a program that uses both holds one copy of them.
file(GLOB_RECURSE lib ${prefix}/*/libquorixjms.so)
execute_process(COMMAND nm -D --defined-only -C ${lib} OUTPUT_VARIABLE exported RESULT_VARIABLE rc)
string(REGEX REPLACE "\n$" "" exported "${exported}")
string(REPLACE "\n" ";" exported "${exported}")
set(api "^[0-9a-f]+ [A-Za-z] ((typeinfo|typeinfo name|vtable|VTT|construction vtable) for |(non-)?virtual thunk to )?jms::")
foreach(line IN LISTS exported)
  if(NOT line MATCHES "${api}")
    message(FATAL_ERROR "libquorixjms.so exports more than the API: ${line}")
  endif()
endforeach()
foreach(needed "typeinfo for jms::JMSException" "typeinfo for jms::MessageEOFException"
               "typeinfo for jms::BrokerException" "jms::ImplDepFactory::createQueueConnectionFactory()")
  string(FIND "${exported}" "${needed}" at)
  if(at EQUAL -1 OR rc)
    message(FATAL_ERROR "libquorixjms.so does not export ${needed}")
  endif()
endforeach()
execute_process(COMMAND nm --defined-only ${lib} OUTPUT_VARIABLE all)
if(all MATCHES "_0RL_")
  message(FATAL_ERROR "libquorixjms.so holds its own copy of the wire contract's stubs")
endif()

# find_package
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/cmake-build -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} "-DCMAKE_CXX_FLAGS=${CONSUMER_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run(${WORK_DIR}/cmake-build/consumer)
run(${WORK_DIR}/cmake-build/contract_user)

# pkg-config (the .pc file is relocatable)
file(GLOB_RECURSE pc_file ${prefix}/*/quorixjms.pc)
get_filename_component(pc_dir "${pc_file}" DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
execute_process(COMMAND pkg-config --cflags --libs quorixjms
  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pkg-config does not find quorixjms")
endif()
separate_arguments(flags UNIX_COMMAND "${flags} ${CONSUMER_FLAGS}")
get_filename_component(lib_dir "${pc_dir}" DIRECTORY)
run(c++ -std=c++17 ${SOURCE_DIR}/main.cpp ${flags} -Wl,-rpath,${lib_dir}
    -o ${WORK_DIR}/consumer-pc)
run(${WORK_DIR}/consumer-pc)
