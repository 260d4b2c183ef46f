# add_mex_modules(<flavour> <output dir> <suffix> <host interface target>)
# Builds every module against one host's mex.h as a shared library that
# exports mexFunction alone, with the help files beside it.
function(add_mex_modules flavour output_dir suffix host_api)
  add_library(host_${flavour} OBJECT host/gateway.cpp)
  target_link_libraries(host_${flavour} PUBLIC kernels ${host_api})
  foreach(module IN LISTS MEX_MODULES)
    set(target ${module}_${flavour})
    add_library(${target} SHARED modules/${module}.cpp)
    target_link_libraries(${target} PRIVATE host_${flavour} kernels ${host_api})
    target_link_options(${target} PRIVATE "-Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/mexFunction.map")
    set_target_properties(${target} PROPERTIES
      OUTPUT_NAME ${module} PREFIX "" SUFFIX ${suffix}
      LIBRARY_OUTPUT_DIRECTORY ${output_dir}
      LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/mexFunction.map)
    configure_file(modules/${module}.m ${output_dir}/${module}.m COPYONLY)
  endforeach()
endfunction()
