# The one CMake reader of the registry (common/registry.def): each row parsed
# once into lists and variables, for cmake/bench.cmake (the cache variables
# of the bench), programs/CMakeLists.txt and man/CMakeLists.txt. A row this
# reader cannot parse stops the configure step, so a change of a row's form
# cannot pass unread.
#
#   SLITS_BENCH_PARAMETERS    parameter names, in registry order; for each
#     SLITS_ROW_<name>_KIND     LENGTH, COUNT or CHOICE
#     SLITS_ROW_<name>_DEFAULT  the registry's default, as written
#     SLITS_ROW_<name>_LARGEST  a count's largest value
#     SLITS_ROW_<name>_CHOICES  a choice's names, as a list
#     SLITS_ROW_<name>_UNIT, SLITS_ROW_<name>_MEANING
#   SLITS_PROGRAMS            every program, in registry order (the main job's)
#   SLITS_PATTERN_PROGRAMS    the pattern programs, in that order; for each
#     SLITS_ROW_<name>_TITLE, _SCREEN (the parameter ending its span),
#     _COUNT_FACTOR, _PLANES (source, entrance, pair as a list), _QUANTITY
#     (amplitude or intensity)
#   SLITS_PROFILE_PROGRAMS    the program printing the LED's profile; its
#     SLITS_ROW_<name>_TITLE and _QUANTITY (profile)
#   SLITS_SETUP_PROGRAMS      the programs of any setup (programs/NAME.cpp
#     each, over the setup engine), not among SLITS_PROGRAMS; for each
#     SLITS_ROW_<name>_TITLE and _QUANTITY (setup)
#   SLITS_OPTIONS             the other options, named as in the registry
#     (print_bench); for each SLITS_ROW_<name>_VALUE, _COMMANDS (pattern,
#     profile, continuum, setup as a list), _MEANING

set(slits_registry ${PROJECT_SOURCE_DIR}/common/registry.def)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${slits_registry})
file(STRINGS ${slits_registry} slits_registry_rows REGEX "^SLITS_[A-Z_]+\\(")

set(SLITS_BENCH_PARAMETERS)
set(SLITS_PROGRAMS)
set(SLITS_PATTERN_PROGRAMS)
set(SLITS_PROFILE_PROGRAMS)
set(SLITS_SETUP_PROGRAMS)
set(SLITS_OPTIONS)

# "entrance_plane | pair_plane" as "entrance;pair"; likewise the commands.
function(slits_registry_names out text suffix)
  string(REPLACE "|" ";" words "${text}")
  set(names)
  foreach(word IN LISTS words)
    string(STRIP "${word}" word)
    string(REGEX REPLACE "_${suffix}$" "" word "${word}")
    list(APPEND names ${word})
  endforeach()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

foreach(row IN LISTS slits_registry_rows)
  if(row MATCHES "^SLITS_LENGTH\\(([a-z_]+), ([^,]+), \"([^\"]*)\", \"(.*)\"\\)$")
    set(name ${CMAKE_MATCH_1})
    set(SLITS_ROW_${name}_KIND LENGTH)
    set(SLITS_ROW_${name}_DEFAULT "${CMAKE_MATCH_2}")
    set(SLITS_ROW_${name}_UNIT "${CMAKE_MATCH_3}")
    set(SLITS_ROW_${name}_MEANING "${CMAKE_MATCH_4}")
    list(APPEND SLITS_BENCH_PARAMETERS ${name})
  elseif(row MATCHES "^SLITS_COUNT\\(([a-z_]+), ([^,]+), ([0-9]+), \"([^\"]*)\", \"(.*)\"\\)$")
    set(name ${CMAKE_MATCH_1})
    set(SLITS_ROW_${name}_KIND COUNT)
    set(SLITS_ROW_${name}_DEFAULT "${CMAKE_MATCH_2}")
    set(SLITS_ROW_${name}_LARGEST ${CMAKE_MATCH_3})
    set(SLITS_ROW_${name}_UNIT "${CMAKE_MATCH_4}")
    set(SLITS_ROW_${name}_MEANING "${CMAKE_MATCH_5}")
    list(APPEND SLITS_BENCH_PARAMETERS ${name})
  elseif(row MATCHES "^SLITS_CHOICE\\(([a-z_]+), ([^,]+), \"([^\"]*)\", \"(.*)\"\\)$")
    set(name ${CMAKE_MATCH_1})
    set(SLITS_ROW_${name}_KIND CHOICE)
    set(SLITS_ROW_${name}_DEFAULT "${CMAKE_MATCH_2}")
    string(REPLACE " " ";" SLITS_ROW_${name}_CHOICES "${CMAKE_MATCH_3}")
    set(SLITS_ROW_${name}_UNIT "")
    set(SLITS_ROW_${name}_MEANING "${CMAKE_MATCH_4}")
    list(APPEND SLITS_BENCH_PARAMETERS ${name})
  elseif(row MATCHES "^SLITS_PROGRAM\\(([a-z_]+), \"([^\"]*)\", ([a-z_]+), ([0-9]+), ([a-z_]+), ([a-z_ |]+), ([a-z]+)\\)$")
    set(name ${CMAKE_MATCH_1})
    set(SLITS_ROW_${name}_TITLE "${CMAKE_MATCH_2}")
    set(SLITS_ROW_${name}_SCREEN ${CMAKE_MATCH_3})
    set(SLITS_ROW_${name}_COUNT_FACTOR ${CMAKE_MATCH_4})
    set(SLITS_ROW_${name}_QUANTITY ${CMAKE_MATCH_7})
    slits_registry_names(SLITS_ROW_${name}_PLANES "${CMAKE_MATCH_6}" plane)
    list(APPEND SLITS_PROGRAMS ${name})
    list(APPEND SLITS_PATTERN_PROGRAMS ${name})
  elseif(row MATCHES "^SLITS_PROFILE\\(([a-z_]+), \"([^\"]*)\", \"(.*)\"\\)$")
    set(name ${CMAKE_MATCH_1})
    set(SLITS_ROW_${name}_TITLE "${CMAKE_MATCH_2}")
    set(SLITS_ROW_${name}_QUANTITY profile)
    list(APPEND SLITS_PROGRAMS ${name})
    list(APPEND SLITS_PROFILE_PROGRAMS ${name})
  elseif(row MATCHES "^SLITS_SETUP_PROGRAM\\(([a-z_]+), \"([^\"]*)\", \"(.*)\"\\)$")
    set(name ${CMAKE_MATCH_1})
    set(SLITS_ROW_${name}_TITLE "${CMAKE_MATCH_2}")
    set(SLITS_ROW_${name}_QUANTITY setup)
    list(APPEND SLITS_SETUP_PROGRAMS ${name})
  elseif(row MATCHES "^SLITS_OPTION\\(([a-z_]+), \"([^\"]*)\", ([a-z_ |]+), \"(.*)\"\\)$")
    set(name ${CMAKE_MATCH_1})
    set(SLITS_ROW_${name}_VALUE "${CMAKE_MATCH_2}")
    set(SLITS_ROW_${name}_MEANING "${CMAKE_MATCH_4}")
    slits_registry_names(SLITS_ROW_${name}_COMMANDS "${CMAKE_MATCH_3}" command)
    list(APPEND SLITS_OPTIONS ${name})
  else()
    message(FATAL_ERROR "common/registry.def: a row cmake/registry.cmake cannot read:\n${row}")
  endif()
endforeach()
