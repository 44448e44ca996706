# quorvelan_link_chain(TARGET PATTERN regex OUT var): sets var to the chain
# ("a -> b -> c") by which TARGET links, directly or through the libraries it
# links, the first thing that matches regex (lower case, matched against the
# lower-cased target name or library file); empty when nothing does.
function(quorvelan_link_chain target)
  cmake_parse_arguments(B "" "PATTERN;OUT" "" ${ARGN})
  set(${B_OUT} "" PARENT_SCOPE)
  # The chain to each item, under a variable named after it.
  set(seen "")
  set(queue "${target}")
  string(MAKE_C_IDENTIFIER "via_${target}" key)
  set(${key} "${target}")
  while(queue)
    list(POP_FRONT queue item)
    if(item IN_LIST seen)
      continue()
    endif()
    list(APPEND seen "${item}")
    string(MAKE_C_IDENTIFIER "via_${item}" key)
    set(chain "${${key}}")
    if(NOT TARGET "${item}")
      continue()
    endif()
    get_target_property(imported "${item}" IMPORTED)
    get_target_property(type "${item}" TYPE)
    set(links "")
    if(NOT imported AND NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct "${item}" LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface "${item}" INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(link IN LISTS links)
      # A static library's private links come as $<LINK_ONLY:...>; entries that
      # only mark the directory a link was made from name nothing.
      string(REGEX REPLACE "^\\$<(LINK_ONLY|BUILD_INTERFACE):(.*)>$" "\\2" link "${link}")
      if(link MATCHES "^::@")
        continue()
      endif()
      string(TOLOWER "${link}" lower)
      if(lower MATCHES "${B_PATTERN}")
        set(${B_OUT} "${chain} -> ${link}" PARENT_SCOPE)
        return()
      endif()
      string(MAKE_C_IDENTIFIER "via_${link}" next)
      if(NOT DEFINED ${next})
        set(${next} "${chain} -> ${link}")
      endif()
      list(APPEND queue "${link}")
    endforeach()
  endwhile()
endfunction()

# quorvelan_refuse_links(TARGET PATTERN regex REASON text): stops the configure
# when anything TARGET links matches regex, naming the chain that brings it in.
function(quorvelan_refuse_links target)
  cmake_parse_arguments(B "" "PATTERN;REASON" "" ${ARGN})
  quorvelan_link_chain(${target} PATTERN "${B_PATTERN}" OUT chain)
  if(chain)
    message(FATAL_ERROR "${chain}: ${B_REASON}")
  endif()
endfunction()

# The HLSL translator's border: no SDL, GL, EGL or libepoxy, whether as a
# target, a pkg-config target or a library file.
function(quorvelan_links_no_gl_or_sdl target)
  quorvelan_refuse_links(${target} PATTERN "(^|::|/)(lib)?(sdl2?|epoxy|egl|gl|glx|opengl)([.:_-]|$)"
    REASON "the HLSL translator links no GL or SDL library")
endfunction()
