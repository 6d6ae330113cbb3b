# Compile settings every Flitto target shares: one INTERFACE target that the
# libraries, the executable, the tests and the tools all link.

# C++20 exactly, never a silent fallback to an older standard, and no GNU
# dialect: the standard is set here, before any target exists.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

add_library(flitto_common INTERFACE)
target_compile_features(flitto_common INTERFACE cxx_std_20)

# Beyond -Wall -Wextra: casts that hide what they do, overrides that only
# overload, polymorphic classes deleted through a base without a virtual
# destructor, and names that hide another in scope.
target_compile_options(flitto_common INTERFACE
  -Wall -Wextra -Wold-style-cast -Woverloaded-virtual -Wnon-virtual-dtor -Wshadow)
# Casts that raise the alignment a pointer needs, checked on x86-64 too
# (plain -Wcast-align only warns where the CPU traps): a byte buffer read from
# a file must not be cast to a wider type.
target_compile_options(flitto_common INTERFACE -Wcast-align=strict)
# Casts that drop const or volatile: data a caller gave as read-only stays so.
target_compile_options(flitto_common INTERFACE -Wcast-qual)
# Standard C++ only: no GNU extensions slip in that another compiler rejects.
target_compile_options(flitto_common INTERFACE -Wpedantic)
# A bare NULL ending a variadic argument list (GLib/GIO calls): it may be a
# plain integer 0 there, not a null pointer.
target_compile_options(flitto_common INTERFACE -Wstrict-null-sentinel)
if(FLITTO_WERROR)
  target_compile_options(flitto_common INTERFACE -Werror)
endif()

# Qt's safety macros: no implicit string conversions from 8-bit data (paths
# are bytes and must never be turned into text by accident), no
# deprecated API, and no keyword macros that clash with other headers.
target_compile_definitions(flitto_common INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_FOREACH
  QT_NO_KEYWORDS
  QT_DISABLE_DEPRECATED_BEFORE=0x060400
  # A chain of + builds one string instead of a temporary per +. Its result
  # is a builder holding references, not a string: give it a QString or
  # QByteArray type wherever it is kept or returned (never auto or a lambda's
  # deduced type), and name a path before handing it to a POSIX call.
  QT_USE_QSTRINGBUILDER)

# Considered and left out:
# - QT_STRICT_ITERATORS: Qt 6 no longer reads it.
# - QT_NO_DEBUG_OUTPUT outside Debug: would compile out the opt-in
#   flitto.widgets.rtflabel.debug layout trace.
# - QT_DISABLE_DEPRECATED_UP_TO: Qt 6.5's name; 6.4 reads the _BEFORE form above.
# - -pedantic-errors: FLITTO_WERROR alone decides when warnings stop a build.
# - -Winvalid-pch: no precompiled headers here.

if(FLITTO_SANITIZE)
  target_compile_options(flitto_common INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(flitto_common INTERFACE -fsanitize=address,undefined)
endif()

# flitto_publish_headers(TARGET): called once a folder's library has all its
# sources. Its headers are published, under their path from the project
# root ("wizard/move/DatabaseMove.h"), in an include folder of its own that
# only the library itself and the targets linking it see. An include of a
# header from a library that is not linked, such as one crossing a layer the
# wrong way, then fails the build instead of compiling by convention.
function(flitto_publish_headers target)
  get_target_property(sources ${target} SOURCES)
  get_target_property(folder ${target} SOURCE_DIR)
  set(published ${CMAKE_BINARY_DIR}/include/${target})
  file(REMOVE_RECURSE ${published})
  foreach(source IN LISTS sources)
    if(source MATCHES "\\.h$")
      get_filename_component(header ${source} ABSOLUTE BASE_DIR ${folder})
      file(RELATIVE_PATH spelling ${PROJECT_SOURCE_DIR} ${header})
      get_filename_component(header_folder ${published}/${spelling} DIRECTORY)
      file(MAKE_DIRECTORY ${header_folder})
      file(CREATE_LINK ${header} ${published}/${spelling} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC ${published})
endfunction()
