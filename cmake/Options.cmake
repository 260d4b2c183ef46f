# The project's options, each named after the project so that they stay
# apart from those of a project that builds this one as a subfolder.
option(MEMBERSHIP_MEX_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer, stopping at the first finding" OFF)
option(MEMBERSHIP_MEX_FUZZ "Build the libFuzzer targets in fuzz/ (clang; implies MEMBERSHIP_MEX_SANITIZE)" OFF)
# A packager builds the modules with cmake, a compiler and Octave's
# development files alone: tests and benchmarks whose libraries are missing
# are left out, saying so, unless they were asked for.
set(MEMBERSHIP_MEX_BUILD_TESTS AUTO CACHE STRING
    "The tests: AUTO leaves out the C++ ones where GoogleTest is missing, ON requires it, OFF registers none")
set(MEMBERSHIP_MEX_BUILD_BENCHMARKS AUTO CACHE STRING
    "The benchmarks in bench/: AUTO builds them where Google Benchmark is found, ON requires it, OFF does not")
set_property(CACHE MEMBERSHIP_MEX_BUILD_TESTS PROPERTY STRINGS AUTO ON OFF)
set_property(CACHE MEMBERSHIP_MEX_BUILD_BENCHMARKS PROPERTY STRINGS AUTO ON OFF)

# The names these options had before are still honoured once given: the
# value moves to the new name, which alone decides from then on.
foreach(rename MEX_SANITIZE:MEMBERSHIP_MEX_SANITIZE MEX_FUZZ:MEMBERSHIP_MEX_FUZZ
               BUILD_BENCHMARKS:MEMBERSHIP_MEX_BUILD_BENCHMARKS)
  string(REPLACE ":" ";" rename ${rename})
  list(GET rename 0 old)
  list(GET rename 1 new)
  if(DEFINED CACHE{${old}})
    message(DEPRECATION "${old} is now called ${new}; taking ${old}=${${old}} as ${new}")
    get_property(type CACHE ${new} PROPERTY TYPE)
    get_property(help CACHE ${new} PROPERTY HELPSTRING)
    set(${new} "${${old}}" CACHE ${type} "${help}" FORCE)
    unset(${old} CACHE)
  endif()
endforeach()

# find_optional(<result> <option> <package> <what> <Debian package>) sets
# <result> to whether <what>, which needs <package>, is built: OFF does not
# look for it, AUTO takes it where it is found, and ON (or any true value)
# stops the configuration where it is not.
function(find_optional result option package what debian_package)
  string(TOUPPER "${${option}}" choice)
  set(found OFF)
  if(choice STREQUAL AUTO)
    find_package(${package} QUIET)
    if(${package}_FOUND)
      set(found ON)
    else()
      message(STATUS "${package} not found: ${what} not built (${option}=ON would require it)")
    endif()
  elseif(${option})
    find_package(${package})
    if(NOT ${package}_FOUND)
      message(FATAL_ERROR "${option} is ${${option}}, but ${package} was not found: "
                          "install it (Debian: ${debian_package}) or set ${option}=AUTO")
    endif()
    set(found ON)
  endif()
  set(${result} ${found} PARENT_SCOPE)
endfunction()
