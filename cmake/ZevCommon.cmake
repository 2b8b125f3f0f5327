# Settings shared by every target of the project.

# zev_warnings(target): warnings as errors on our own code.
function(zev_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
    -Wno-missing-field-initializers)
  # GCC 12 reports overlapping memcpy inside std::string operator+ at -O2 and above
  # (a known false positive of that release).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

if(ZEV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # Windows binaries carry their runtime: nothing but system DLLs and zev.lib beside them.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Stripped: the setup program and zev.lib carry payloads after their last section, and a
  # symbol table there would read as an appended script or language file.
  add_link_options(-s)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
endif()

# A GoogleTest built from the Debian sources, for cross builds where no packaged one exists.
macro(zev_use_source_googletest)
  if(NOT TARGET gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
endmacro()
