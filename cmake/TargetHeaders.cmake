# Which headers a target shows to the targets that link it.
#
# Sources include headers by their path from the top of the tree
# ("camlink/frame_builder.h") or from controller/ ("core/settings.h"). Instead
# of putting the whole tree on the include path, each target gets a folder of
# its own in the build tree that holds one forwarding header per header it
# shows; that folder is its include directory. A target therefore sees its own
# headers and the public headers of what it links, and an #include of anything
# else fails to compile: the layering is checked by the compiler.
#
# qz_target_headers(TARGET PUBLIC|PRIVATE|INTERFACE [BASE DIR]
#                   FILES PATTERN... [EXCLUDE FILE...])
#   PATTERN is a header path relative to BASE (default: the top of the tree),
#   or a glob ("core/*.h") that must match at least one file; EXCLUDE removes
#   paths matched by a glob. PUBLIC headers are seen by the target and by
#   every target that links it, PRIVATE ones by the target only.
function(qz_target_headers target scope)
  cmake_parse_arguments(ARG "" "BASE" "FILES;EXCLUDE" ${ARGN})
  if(ARG_UNPARSED_ARGUMENTS OR NOT ARG_FILES)
    message(FATAL_ERROR "qz_target_headers(${target}): usage: TARGET SCOPE [BASE DIR] FILES ...")
  endif()
  if(NOT scope MATCHES "^(PUBLIC|PRIVATE|INTERFACE)$")
    message(FATAL_ERROR "qz_target_headers(${target}): scope '${scope}' is not PUBLIC, PRIVATE or INTERFACE")
  endif()
  # One call per target and scope: the folder is rebuilt from each call's list.
  get_property(done GLOBAL PROPERTY QZ_TARGET_HEADERS_${target}_${scope})
  if(done)
    message(FATAL_ERROR "qz_target_headers(${target}): ${scope} headers are already given")
  endif()
  set_property(GLOBAL PROPERTY QZ_TARGET_HEADERS_${target}_${scope} ON)
  if(NOT ARG_BASE)
    set(ARG_BASE ${PROJECT_SOURCE_DIR})
  endif()
  get_filename_component(base "${ARG_BASE}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})

  set(headers)
  foreach(pattern IN LISTS ARG_FILES)
    if(pattern MATCHES "[*?]")
      file(GLOB matched RELATIVE ${base} CONFIGURE_DEPENDS ${base}/${pattern})
      if(NOT matched)
        message(FATAL_ERROR "qz_target_headers(${target}): nothing matches ${base}/${pattern}")
      endif()
      list(REMOVE_ITEM matched ${ARG_EXCLUDE})
      list(APPEND headers ${matched})
    elseif(EXISTS ${base}/${pattern})
      list(APPEND headers ${pattern})
    else()
      message(FATAL_ERROR "qz_target_headers(${target}): no such header ${base}/${pattern}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES headers)

  string(TOLOWER ${scope} folder)
  set(root ${PROJECT_BINARY_DIR}/include/${target}/${folder})
  set(wanted)
  foreach(header IN LISTS headers)
    set(forward ${root}/${header})
    list(APPEND wanted ${forward})
    if(NOT header MATCHES "\\.h$")
      # A fragment included inside a declaration (the .inc lists) is linked
      # rather than forwarded: moc reads such a fragment only where it stands.
      if(NOT IS_SYMLINK ${forward})
        get_filename_component(parent ${forward} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(REMOVE ${forward})
        file(CREATE_LINK ${base}/${header} ${forward} SYMBOLIC COPY_ON_ERROR)
      endif()
      continue()
    endif()
    set(content "/* ${header} as ${target} shows it (cmake/TargetHeaders.cmake). */\n"
                "#include \"${base}/${header}\"\n")
    string(JOIN "" content ${content})
    # Rewritten only when it changes, so that a new CMake run rebuilds nothing.
    set(old "")
    if(EXISTS ${forward})
      file(READ ${forward} old)
    endif()
    if(NOT old STREQUAL content)
      file(WRITE ${forward} "${content}")
    endif()
  endforeach()
  # A header dropped from the list must stop being reachable.
  file(GLOB_RECURSE present LIST_DIRECTORIES false ${root}/*)
  foreach(file IN LISTS present)
    if(NOT file IN_LIST wanted)
      file(REMOVE ${file})
    endif()
  endforeach()

  target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${root}>)
endfunction()
