# The static C++ runtime, cut to what the programs use (lean_runtime/):
# std::string members built where they are used, not the library's whole
# instantiation; no demangler. It keeps VK_UTL.exe and VK_CMD.exe small.
function(vk_lean_runtime target)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${target} PRIVATE
            "SHELL:-include ${PROJECT_SOURCE_DIR}/cmake/lean_runtime/lean_runtime.h")
    endif()
endfunction()
# A program's own copy of the runtime's sources, after its other sources, as
# plain sources: Make and Ninja then link the objects in the same order.
function(vk_lean_runtime_sources target)
    set(cow ${PROJECT_SOURCE_DIR}/cmake/lean_runtime/lean_runtime_cow.cpp)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/lean_runtime/lean_runtime.cpp ${cow})
    set_source_files_properties(${cow} TARGET_DIRECTORY ${target} PROPERTIES
        COMPILE_DEFINITIONS _GLIBCXX_USE_CXX11_ABI=0)
endfunction()
