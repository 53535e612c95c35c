" :make with the kiln compiler file on a broken program, headless. Run by
" editors/tests/checks as
"   vim -Nu NONE -i NONE -es -S vim-make.vim
" with KILN_EDITORS naming the editors folder, KILN the interpreter,
" KILN_BROKEN the program and KILN_VIM_REPORT the file for the quickfix list.
execute 'set runtimepath^=' . fnameescape($KILN_EDITORS . '/vim')
filetype plugin on
let g:kiln_command = $KILN
execute 'edit ' . fnameescape($KILN_BROKEN)
let s:lines = ['filetype ' . &filetype . ' compiler ' . get(b:, 'current_compiler', get(g:, 'current_compiler', ''))]
silent make
for s:item in getqflist()
  call add(s:lines, fnamemodify(bufname(s:item.bufnr), ':t') . ':' . s:item.lnum . ':' . s:item.col . ':' . s:item.type . ':' . s:item.valid . ': ' . s:item.text)
endfor
call writefile(s:lines, $KILN_VIM_REPORT)
qall!
