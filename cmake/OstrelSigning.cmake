# Authenticode signing with osslsigncode, and the signer the update check pins.
# A real deployment passes its own certificate and key (PEM) and, when the pin
# should differ from that certificate (a second one during a change), the
# SHA-256 digests of the accepted signer certificates. Without a certificate
# the build makes a self-signed code-signing one in the build tree; it is
# never part of the sources.
include_guard(GLOBAL)

set(OSTREL_SIGN_CERT "" CACHE FILEPATH "PEM code-signing certificate (empty: a build-made test one)")
set(OSTREL_SIGN_KEY "" CACHE FILEPATH "PEM private key of OSTREL_SIGN_CERT")
set(OSTREL_UPDATE_SIGNER_SHA256 "" CACHE STRING
    "SHA-256 of the signer certificates a downloaded installer may carry, ';'-separated (empty: that of OSTREL_SIGN_CERT)")

find_program(OSTREL_OPENSSL openssl REQUIRED)
find_program(OSTREL_OSSLSIGNCODE osslsigncode REQUIRED)

# ostrel_make_test_certificate(<dir> <common name>): a self-signed code-signing
# certificate <dir>/cert.pem with its key <dir>/key.pem, made once per build tree.
function(ostrel_make_test_certificate dir cn)
    if(EXISTS ${dir}/cert.pem AND EXISTS ${dir}/key.pem)
        return()
    endif()
    file(MAKE_DIRECTORY ${dir})
    execute_process(
        COMMAND ${OSTREL_OPENSSL} req -x509 -newkey rsa:2048 -sha256 -days 3650 -nodes
                -keyout ${dir}/key.pem -out ${dir}/cert.pem -subj "/O=Ostrel build/CN=${cn}"
                -addext "keyUsage=critical,digitalSignature"
                -addext "extendedKeyUsage=codeSigning"
        RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "openssl could not make the test signing certificate in ${dir}")
    endif()
endfunction()

# ostrel_certificate_sha256(<pem> <var>): SHA-256 of the certificate's DER form,
# as the update check computes it from the installer's signer.
function(ostrel_certificate_sha256 pem var)
    get_filename_component(name ${pem} NAME_WE)
    set(der ${CMAKE_BINARY_DIR}/signing/${name}-${var}.der)
    execute_process(COMMAND ${OSTREL_OPENSSL} x509 -in ${pem} -outform DER -out ${der}
                    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "openssl cannot read the certificate ${pem}")
    endif()
    file(SHA256 ${der} digest)
    set(${var} ${digest} PARENT_SCOPE)
endfunction()

# Results in the cache: the guard above skips this file in later directories.
if(OSTREL_SIGN_CERT)
    if(NOT OSTREL_SIGN_KEY)
        message(FATAL_ERROR "OSTREL_SIGN_CERT needs OSTREL_SIGN_KEY")
    endif()
    set(OSTREL_SIGNING_CERT ${OSTREL_SIGN_CERT} CACHE INTERNAL "")
    set(OSTREL_SIGNING_KEY ${OSTREL_SIGN_KEY} CACHE INTERNAL "")
else()
    ostrel_make_test_certificate(${CMAKE_BINARY_DIR}/signing/build "Ostrel build signing (test only)")
    set(OSTREL_SIGNING_CERT ${CMAKE_BINARY_DIR}/signing/build/cert.pem CACHE INTERNAL "")
    set(OSTREL_SIGNING_KEY ${CMAKE_BINARY_DIR}/signing/build/key.pem CACHE INTERNAL "")
endif()
if(OSTREL_UPDATE_SIGNER_SHA256)
    set(pins "${OSTREL_UPDATE_SIGNER_SHA256}")
else()
    ostrel_certificate_sha256(${OSTREL_SIGNING_CERT} pins)
endif()
set(OSTREL_SIGNER_PINS "${pins}" CACHE INTERNAL "")

# ostrel_sign_command(<var> <in> <out> [CERT <pem> KEY <pem>]): the command line
# that writes a signed copy of <in> to <out>, for add_custom_command.
function(ostrel_sign_command var in out)
    cmake_parse_arguments(S "" "CERT;KEY" "" ${ARGN})
    if(NOT S_CERT)
        set(S_CERT ${OSTREL_SIGNING_CERT})
        set(S_KEY ${OSTREL_SIGNING_KEY})
    endif()
    set(${var} ${OSTREL_OSSLSIGNCODE} sign -certs ${S_CERT} -key ${S_KEY} -h sha256
        -n "Ostrel" -in ${in} -out ${out} PARENT_SCOPE)
endfunction()
