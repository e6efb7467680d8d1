# The update signing keys of this build (docs/updates.md):
#   ZENT_UPDATE_PUBLIC_KEY   the vendor's public key file: the key the program trusts
#   ZENT_UPDATE_SIGNING_KEY  the secret key file the build signs its installer with
# Without either, the build makes a key pair of its own once, in <build>/update-keys/, and
# trusts and signs with that. A public key alone leaves the build's installer unsigned.
# Sets ZENT_UPDATE_SIGNING_KEY_FILE (empty: unsigned) and writes the built-in key into
# <build>/generated/update/BuiltInUpdateKey.h.
set(ZENT_UPDATE_PUBLIC_KEY "" CACHE FILEPATH "Public key file the program trusts for updates")
set(ZENT_UPDATE_SIGNING_KEY "" CACHE FILEPATH "Secret key file the build signs its installer with")

pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)

# The hexadecimal key of a key file of `kind` ("public" or "secret"), checked like the program
# checks key files: one line, a final newline allowed.
function(zent_read_key_file file kind digits out)
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "Update key file ${file} does not exist")
  endif()
  file(READ "${file}" text)
  set(length 0)
  if(text MATCHES "^ed25519-${kind}:([0-9a-fA-F]+)\n?$")
    string(LENGTH "${CMAKE_MATCH_1}" length)
  endif()
  if(NOT length EQUAL ${digits})
    message(FATAL_ERROR "${file} is not an update ${kind} key file (one line \"ed25519-${kind}:\" and ${digits} hexadecimal digits)")
  endif()
  string(TOLOWER "${CMAKE_MATCH_1}" hex)
  set(${out} "${hex}" PARENT_SCOPE)
  # A replaced key file configures the build again.
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
endfunction()

set(zent_key_dir ${PROJECT_BINARY_DIR}/update-keys)
if(NOT ZENT_UPDATE_PUBLIC_KEY AND NOT ZENT_UPDATE_SIGNING_KEY)
  set(zent_own_secret ${zent_key_dir}/build-signing.key)
  set(zent_own_public ${zent_key_dir}/build-signing.pub)
  if(NOT EXISTS ${zent_own_secret} OR NOT EXISTS ${zent_own_public})
    if(EXISTS ${zent_own_secret} OR EXISTS ${zent_own_public})
      message(FATAL_ERROR "Only half of the build's key pair is in ${zent_key_dir}: remove it to make a new pair")
    endif()
    file(MAKE_DIRECTORY ${zent_key_dir})
    if(CMAKE_CROSSCOMPILING)
      # The key pair is made on the build machine: its compiler and libsodium.
      find_program(ZENT_HOST_CXX NAMES c++ g++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
      execute_process(
        COMMAND ${ZENT_HOST_CXX} -std=c++20 -O1 -o ${zent_key_dir}/make-key-pair
                ${PROJECT_SOURCE_DIR}/cmake/MakeUpdateKeyPair.cpp -lsodium
        RESULT_VARIABLE zent_keygen_compiled_rc ERROR_VARIABLE zent_keygen_compile_output)
      set(zent_keygen_compiled FALSE)
      set(zent_keygen_run 1)
      if(zent_keygen_compiled_rc EQUAL 0)
        set(zent_keygen_compiled TRUE)
        execute_process(COMMAND ${zent_key_dir}/make-key-pair ${zent_own_secret} ${zent_own_public}
          RESULT_VARIABLE zent_keygen_run OUTPUT_VARIABLE zent_keygen_output ERROR_VARIABLE zent_keygen_output)
        file(REMOVE ${zent_key_dir}/make-key-pair)
      endif()
    else()
      try_run(zent_keygen_run zent_keygen_compiled ${zent_key_dir}/tool
        ${PROJECT_SOURCE_DIR}/cmake/MakeUpdateKeyPair.cpp
        CMAKE_FLAGS "-DINCLUDE_DIRECTORIES=${SODIUM_INCLUDE_DIRS}"
        LINK_LIBRARIES ${SODIUM_LINK_LIBRARIES}
        COMPILE_OUTPUT_VARIABLE zent_keygen_compile_output
        RUN_OUTPUT_VARIABLE zent_keygen_output
        ARGS ${zent_own_secret} ${zent_own_public})
    endif()
    if(NOT zent_keygen_compiled OR NOT zent_keygen_run EQUAL 0)
      message(FATAL_ERROR "Could not make the build's update key pair:\n${zent_keygen_compile_output}${zent_keygen_output}")
    endif()
  endif()
  message(STATUS "Update packages: this build signs its installer with its own generated key "
                 "${zent_own_secret} and trusts ${zent_own_public} (set ZENT_UPDATE_PUBLIC_KEY and "
                 "ZENT_UPDATE_SIGNING_KEY for release builds)")
  zent_read_key_file(${zent_own_public} public 64 zent_public_hex)
  set(ZENT_UPDATE_SIGNING_KEY_FILE ${zent_own_secret})
else()
  set(ZENT_UPDATE_SIGNING_KEY_FILE "${ZENT_UPDATE_SIGNING_KEY}")
  if(ZENT_UPDATE_SIGNING_KEY)
    zent_read_key_file("${ZENT_UPDATE_SIGNING_KEY}" secret 128 zent_secret_hex)
    # libsodium's secret key ends in its public key.
    string(SUBSTRING "${zent_secret_hex}" 64 64 zent_signing_public_hex)
    unset(zent_secret_hex)
  endif()
  if(ZENT_UPDATE_PUBLIC_KEY)
    zent_read_key_file("${ZENT_UPDATE_PUBLIC_KEY}" public 64 zent_public_hex)
    if(zent_signing_public_hex AND NOT zent_signing_public_hex STREQUAL zent_public_hex)
      message(WARNING "ZENT_UPDATE_SIGNING_KEY does not belong to ZENT_UPDATE_PUBLIC_KEY: the "
                      "installer this build signs is accepted only where its key is installed")
    endif()
  else()
    set(zent_public_hex ${zent_signing_public_hex})
  endif()
  if(ZENT_UPDATE_SIGNING_KEY)
    message(STATUS "Update packages: the installer is signed with ${ZENT_UPDATE_SIGNING_KEY}")
  else()
    message(STATUS "Update packages: no ZENT_UPDATE_SIGNING_KEY, the build's installer stays "
                   "unsigned (sign releases with: zent-updatekey sign SECRET_FILE INSTALLER)")
  endif()
  message(STATUS "Update packages: the program trusts ed25519-public:${zent_public_hex}")
endif()

string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " zent_public_bytes "${zent_public_hex}")
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/generated/update/BuiltInUpdateKey.h CONTENT
"// Generated at configure time (cmake/UpdateKeys.cmake): the public key this build trusts for
// update packages, ed25519-public:${zent_public_hex}
#pragma once

inline constexpr unsigned char kBuiltInUpdateKeyBytes[32] = {${zent_public_bytes}};
" @ONLY)
