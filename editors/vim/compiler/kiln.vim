" Vim compiler file for kiln programs: :make runs `kiln --check` on the
" current file and fills the quickfix list with its errors and warnings,
" each "FILE:LINE:COL: error: TYPE: message" or "FILE:LINE:COL: warning: ...".
" The command is g:kiln_command when set, else kiln from the PATH.
if exists('current_compiler')
  finish
endif
let current_compiler = 'kiln'

if exists(':CompilerSet') != 2
  command -nargs=* CompilerSet setlocal <args>
endif

execute 'CompilerSet makeprg=' . escape(get(g:, 'kiln_command', 'kiln'), ' \|"') . '\ --check\ %:S'
CompilerSet errorformat=%f:%l:%c:\ %trror:\ %m,%f:%l:%c:\ %tarning:\ %m,%-G%.%#
