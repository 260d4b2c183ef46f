# The robustness builds. MEMBERSHIP_MEX_SANITIZE instruments every target
# with AddressSanitizer and UndefinedBehaviorSanitizer and makes the first
# finding fatal, so that a test run cannot pass over one.
# MEMBERSHIP_MEX_FUZZ (clang) adds the coverage hooks libFuzzer needs and the
# fuzz targets in fuzz/.
if(MEMBERSHIP_MEX_FUZZ)
  set(MEMBERSHIP_MEX_SANITIZE ON)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(MEMBERSHIP_MEX_SANITIZE)
  # float-cast-overflow is not part of GCC's "undefined": a double cast to an
  # integer it does not fit is exactly the mistake an unchecked input makes.
  set(MEX_SANITIZERS address,undefined,float-cast-overflow)
  add_compile_options(-fsanitize=${MEX_SANITIZERS} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${MEX_SANITIZERS})
endif()

# Targets that need the rest of the project: call once every module and test
# is defined.
function(add_sanitizer_targets)
  if(MEMBERSHIP_MEX_SANITIZE AND MEMBERSHIP_MEX_TESTS)
    # What these two check is the shipped build: the sanitized modules need
    # the sanitizer runtimes, and octave-cli cannot load them unpreloaded.
    file(WRITE ${PROJECT_BINARY_DIR}/CTestCustom.cmake
         "set(CTEST_CUSTOM_TESTS_IGNORE module_exports octave_end_to_end)\n")
    if(MKOCTFILE)
      add_sanitized_octave_test()
    endif()
  endif()
  if(MEMBERSHIP_MEX_FUZZ)
    add_subdirectory(${PROJECT_SOURCE_DIR}/fuzz ${PROJECT_BINARY_DIR}/fuzz)
  endif()
endfunction()

# The Octave end-to-end suite against the sanitized .mex files. octave-cli is
# not built with ASan, so the runtime has to be preloaded to come first, and
# leak detection is off: Octave's own allocations would swamp it. Findings in
# third-party code the suite loads are listed in asan_suppressions.txt.
function(add_sanitized_octave_test)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                  OUTPUT_VARIABLE asan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libubsan.so
                  OUTPUT_VARIABLE ubsan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(suite ${PROJECT_SOURCE_DIR}/tests/octave)
  add_test(NAME octave_end_to_end_asan
    COMMAND env "LD_PRELOAD=${asan_runtime} ${ubsan_runtime}" ASAN_OPTIONS=detect_leaks=0:suppressions=${PROJECT_SOURCE_DIR}/cmake/asan_suppressions.txt
            timeout 900 octave-cli --no-history --no-gui -q --no-init-file ${suite}/run_octave_tests.m ${OCTAVE_MODULE_DIR} ${suite})
  set_tests_properties(octave_end_to_end_asan PROPERTIES TIMEOUT 960)
endfunction()
