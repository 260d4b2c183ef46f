# The C++ runtime is linked into every module, so that a module loads on a
# machine whose libstdc++ is older than the build machine's (or, on Windows,
# has none). On Linux the unwinder (libgcc_s) stays shared: the host's errors
# are C++ exceptions thrown through our frames, and one unwinder must walk
# them all. Apple's libc++ is part of the system.
if(MINGW)
  set(MEX_RUNTIME_LINK_OPTIONS -static)
elseif(NOT APPLE)
  set(MEX_RUNTIME_LINK_OPTIONS -static-libstdc++)
endif()

if(WIN32)
  set(MEX_EXPORT_LIST ${PROJECT_SOURCE_DIR}/cmake/mexFunction.def)
  set(MEX_EXPORT_LINK_OPTION ${MEX_EXPORT_LIST})
else()
  set(MEX_EXPORT_LIST ${PROJECT_SOURCE_DIR}/cmake/mexFunction.map)
  set(MEX_EXPORT_LINK_OPTION "-Wl,--version-script=${MEX_EXPORT_LIST}")
endif()

# The sources of modules/SOURCES: the host glue (host/, built once per host)
# and the kernels, with the extra flags of the files that have some.
file(STRINGS ${PROJECT_SOURCE_DIR}/modules/SOURCES source_lines REGEX "^[^#]")
set(MEX_HOST_SOURCES)
set(MEX_KERNEL_SOURCES)
foreach(line IN LISTS source_lines)
  separate_arguments(words UNIX_COMMAND "${line}")
  list(POP_FRONT words path)
  if(words)
    set_source_files_properties(${path} PROPERTIES COMPILE_OPTIONS "${words}")
  else()
    file(GLOB folder_sources CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/${path}/*.cpp)
    if(path STREQUAL host)
      list(APPEND MEX_HOST_SOURCES ${folder_sources})
    else()
      list(APPEND MEX_KERNEL_SOURCES ${folder_sources})
    endif()
  endif()
endforeach()

# add_mex_module(<target> <name> <output dir> <suffix> <flavour> <host interface target> <source>...)
# Builds one module from its sources against the host glue of
# add_mex_modules(<flavour> ...), as <output dir>/<name><suffix>, a shared
# library that exports mexFunction alone.
function(add_mex_module target name output_dir suffix flavour host_api)
  add_library(${target} SHARED ${ARGN})
  target_link_libraries(${target} PRIVATE host_${flavour} kernels ${host_api})
  target_link_options(${target} PRIVATE ${MEX_EXPORT_LINK_OPTION} ${MEX_RUNTIME_LINK_OPTIONS})
  # A Windows DLL is a runtime artefact, a Linux shared library a library one.
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${name} PREFIX "" SUFFIX ${suffix}
    LIBRARY_OUTPUT_DIRECTORY ${output_dir}
    RUNTIME_OUTPUT_DIRECTORY ${output_dir}
    LINK_DEPENDS ${MEX_EXPORT_LIST})
endfunction()

# add_mex_modules(<flavour> <output dir> <suffix> <host interface target>)
# Builds every module against one host's mex.h, with the help files beside it.
function(add_mex_modules flavour output_dir suffix host_api)
  add_library(host_${flavour} OBJECT ${MEX_HOST_SOURCES})
  target_link_libraries(host_${flavour} PUBLIC kernels ${host_api})
  foreach(module IN LISTS MEX_MODULES)
    add_mex_module(${module}_${flavour} ${module} ${output_dir} ${suffix} ${flavour} ${host_api} modules/${module}.cpp)
    configure_file(modules/${module}.m ${output_dir}/${module}.m COPYONLY)
  endforeach()
  # The Octave functions that go with the modules, such as all_subsets, and
  # the private functions they share.
  file(GLOB_RECURSE toolbox_files CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/toolbox
       ${PROJECT_SOURCE_DIR}/toolbox/*.m)
  foreach(file IN LISTS toolbox_files)
    configure_file(${PROJECT_SOURCE_DIR}/toolbox/${file} ${output_dir}/${file} COPYONLY)
  endforeach()
  configure_file(modules/Contents.m.in ${output_dir}/Contents.m @ONLY)
  configure_file(modules/membership_mex.m ${output_dir}/membership_mex.m COPYONLY)
endfunction()
