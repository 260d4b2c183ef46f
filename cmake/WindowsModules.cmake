# Windows (MinGW-w64, see toolchain-mingw64.cmake): the modules import the
# host's calls by DLL name from libmx.dll and libmex.dll, through import
# libraries made from the lists in cmake/windows/, so no host installation is
# needed to build them. The stand-in host is built as those two DLLs, beside
# the program that loads the modules in the tests (under Wine).
set(WINDOWS_MODULE_DIR ${PROJECT_BINARY_DIR}/windows)
set(WINDOWS_HOST_DIR ${PROJECT_BINARY_DIR}/windows-host)

set(host_import_dir ${PROJECT_BINARY_DIR}/host-imports)
set(host_import_libs)
foreach(dll libmx libmex)
  set(def ${PROJECT_SOURCE_DIR}/cmake/windows/${dll}.def)
  set(import_lib ${host_import_dir}/${dll}.a)
  add_custom_command(OUTPUT ${import_lib}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${host_import_dir}
    COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --dllname ${dll}.dll --output-lib ${import_lib}
    DEPENDS ${def}
    VERBATIM)
  list(APPEND host_import_libs ${import_lib})
endforeach()
add_custom_target(host_import_libs DEPENDS ${host_import_libs})

add_library(windows_mex_api INTERFACE)
target_include_directories(windows_mex_api INTERFACE ${PROJECT_SOURCE_DIR}/standin)
target_link_libraries(windows_mex_api INTERFACE ${host_import_libs})
add_dependencies(windows_mex_api host_import_libs)
add_mex_modules(windows ${WINDOWS_MODULE_DIR} .mexw64 windows_mex_api)
install(DIRECTORY ${WINDOWS_MODULE_DIR}/ DESTINATION lib/${PROJECT_NAME}/windows)

target_compile_definitions(mexhost_standin PRIVATE STANDIN_HOST_BUILD)
target_link_options(mexhost_standin PRIVATE ${MEX_RUNTIME_LINK_OPTIONS})
set_target_properties(mexhost_standin PROPERTIES OUTPUT_NAME mx RUNTIME_OUTPUT_DIRECTORY ${WINDOWS_HOST_DIR})
add_library(mexhost_standin_forward SHARED standin/libmex_forward.def)
set_target_properties(mexhost_standin_forward PROPERTIES
  OUTPUT_NAME mex LINKER_LANGUAGE CXX RUNTIME_OUTPUT_DIRECTORY ${WINDOWS_HOST_DIR})

# The benchmarks compare against the native test oracle, which is not built here.
set(MEMBERSHIP_MEX_BUILD_BENCHMARKS OFF)
