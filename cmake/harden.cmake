# Hardening flags that the build adds where the flags it was given leave a
# feature unset.  The given flags are CMAKE_CXX_FLAGS, those of the build
# type, and CMAKE_EXE_LINKER_FLAGS: where CXXFLAGS and LDFLAGS go.
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)

string(TOUPPER "${CMAKE_BUILD_TYPE}" build_type)
set(given_compile_flags "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${build_type}}")

# Compiles everything with the first of the candidate flags that the
# compiler accepts, unless a given flag matches pattern.
function(harden_compile pattern)
  if(given_compile_flags MATCHES "${pattern}")
    return()
  endif()
  foreach(flag IN LISTS ARGN)
    string(MAKE_C_IDENTIFIER "QUOBI_PASCAL_HAS${flag}" accepted)
    check_cxx_compiler_flag(${flag} ${accepted})
    if(${accepted})
      add_compile_options(${flag})
      return()
    endif()
  endforeach()
endfunction()

# _FORTIFY_SOURCE at level 2, in optimized builds, where neither the given
# flags nor the compiler itself set a level: a distribution that asks for
# level 3 keeps it.
function(harden_fortify)
  if(given_compile_flags MATCHES "-[DU] *_FORTIFY_SOURCE")
    return()
  endif()
  set(CMAKE_REQUIRED_FLAGS -O2)
  check_cxx_source_compiles("
    #ifndef _FORTIFY_SOURCE
    #error the compiler sets no level
    #endif
    int main() { return 0; }" QUOBI_PASCAL_COMPILER_FORTIFIES)
  if(NOT QUOBI_PASCAL_COMPILER_FORTIFIES)
    add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>")
  endif()
endfunction()

# Links with -z keyword unless a given linker flag matches -z and pattern.
function(harden_link keyword pattern)
  if(NOT CMAKE_EXE_LINKER_FLAGS MATCHES "-z[, ]*(${pattern})")
    add_link_options(LINKER:-z,${keyword})
  endif()
endfunction()
