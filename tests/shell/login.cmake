# The login gate's behaviour against a scripted HTTPS peer and, where it is
# built, the reference service.
tarn_add_test(test_login
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LoginTest.cpp
          ${CMAKE_SOURCE_DIR}/tests/lobby/AccountTestPeer.cpp
  LIBS tarn_app OpenSSL::Crypto Qt6::Network
  GUI)
if(TARGET tarn-server)
  target_compile_definitions(test_login PRIVATE TARN_SERVER_BINARY="$<TARGET_FILE:tarn-server>")
  add_dependencies(test_login tarn-server)
endif()
