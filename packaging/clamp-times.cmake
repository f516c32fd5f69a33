# SPDX-License-Identifier: GPL-3.0-or-later
# Run by cpack after it has staged the files and before it packs them: every staged file and
# folder takes the commit's time (SOURCE_DATE_EPOCH), so that two packagings of one commit are
# the same bytes.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  foreach(staged IN LISTS CPACK_TEMPORARY_INSTALL_DIRECTORY CPACK_TEMPORARY_DIRECTORY)
    if(IS_DIRECTORY "${staged}")
      execute_process(COMMAND find "${staged}" -exec touch -h -d "@$ENV{SOURCE_DATE_EPOCH}" {} +
                      COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endforeach()
endif()
