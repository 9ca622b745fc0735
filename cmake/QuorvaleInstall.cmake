# quorvale_install_man(PAGE)
# Installs the roff manual page PAGE (a file of the current source folder
# whose name ends in its section, e.g. quorvale-batch.1) gzip'd into that
# section's folder. A translated page names its language before the section
# (quorvale-batch.ja.1) and goes, without it in its name, into that
# language's folder (man/ja/man1/quorvale-batch.1.gz). gzip -n leaves the
# file's name and time out, so two builds give the same bytes.
function(quorvale_install_man page)
  get_filename_component(name ${page} NAME)
  string(REGEX MATCH "[1-9]$" section ${name})
  if(NOT section)
    message(FATAL_ERROR "quorvale_install_man: ${page} does not end in a section number")
  endif()
  set(source ${CMAKE_CURRENT_SOURCE_DIR}/${page})
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/man/${name})
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
    COMMAND gzip -9nf ${copy}
    DEPENDS ${source}
    COMMENT "Compressing the manual page ${name}"
    VERBATIM)
  add_custom_target(man_${name} ALL DEPENDS ${copy}.gz)
  set(folder ${CMAKE_INSTALL_MANDIR}/man${section})
  set(installed ${name})
  if(name MATCHES "^(.+)\\.([a-z][a-z](_[A-Z][A-Z])?)\\.[1-9]$")
    set(folder ${CMAKE_INSTALL_MANDIR}/${CMAKE_MATCH_2}/man${section})
    set(installed ${CMAKE_MATCH_1}.${section})
  endif()
  install(FILES ${copy}.gz DESTINATION ${folder} RENAME ${installed}.gz)
endfunction()
