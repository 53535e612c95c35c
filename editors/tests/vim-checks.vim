" Checks the Vim syntax file on constructs.test.kn: each check names a
" source line, a token on it (its nth occurrence) and the syntax group the
" token must get. Run by editors/tests/run as
"   vim -Nu NONE -i NONE -es -S vim-checks.vim
" with the environment variable KILN_EDITORS naming the editors folder and
" KILN_VIM_REPORT the file that receives the result.
let s:failures = []
execute 'set runtimepath^=' . fnameescape($KILN_EDITORS . '/vim')
filetype on
syntax on
execute 'edit ' . fnameescape($KILN_EDITORS . '/tests/constructs.test.kn')

function! s:Check(line, token, nth, group) abort
  let lnum = search('^\V' . escape(a:line, '\'), 'w')
  if lnum == 0
    call add(s:failures, 'no line ' . a:line)
    return
  endif
  let col = 0
  for i in range(a:nth)
    let col = stridx(getline(lnum), a:token, col == 0 ? 0 : col) + 1
    if col == 0
      call add(s:failures, 'no ' . a:token . ' on ' . a:line)
      return
    endif
  endfor
  let got = synIDattr(synID(lnum, col, 0), 'name')
  if got !=# a:group
    call add(s:failures, a:line . ': ' . a:token . ' is ' . (got ==# '' ? 'plain' : got) . ', want ' . a:group)
  endif
endfunction

if &filetype !=# 'kiln'
  call add(s:failures, 'a .kn file does not get the kiln file type')
endif
call s:Check('x\seq', 'x', 1, 'kilnParameter')
call s:Check('x\seq', '\', 1, 'kilnLambda')
call s:Check('x\seq', 'seq', 1, 'kilnWord')
call s:Check('x\seq', '05', 1, 'kilnNegative')
call s:Check('x\seq', '42', 1, 'kilnNumber')
call s:Check('x\seq', '00', 1, 'kilnFraction')
call s:Check('x\seq', '003', 1, 'kilnFraction')
call s:Check('x\seq', '+', 1, 'kilnOperator')
call s:Check('x\seq', ',', 1, 'kilnComma')
call s:Check('fact\n', 'fact', 1, 'kilnDefinition')
call s:Check('fact\n', 'n', 1, 'kilnParameter')
call s:Check('fact\n', 'n', 2, 'kilnLetter')
call s:Check('fact\n', '?', 1, 'kilnConditional')
call s:Check('fact\n', 'fact', 2, 'kilnWord')
call s:Check('tick()', 'tick', 1, 'kilnDefinition')
call s:Check('tick()', 'puts', 1, 'kilnBuiltin')
call s:Check('tick()', '[', 1, 'kilnTextDelimiter')
call s:Check('tick()', 'tick', 2, 'kilnText')
call s:Check('[+]\a', '+', 1, 'kilnDefinition')
call s:Check('[+]\a', 'a', 1, 'kilnParameter')
call s:Check('F\a\b', 'F', 1, 'kilnDefinition')
call s:Check('F\a\b', 'V', 1, 'kilnCombinator')
call s:Check('say\text', 'text', 1, 'kilnParameter')
call s:Check('say\text', '[p]', 1, 'kilnEscape')
call s:Check('say\text', 'line one', 1, 'kilnText')
call s:Check('say\text', 'group', 1, 'kilnTextGroup')
call s:Check('say\text', ' end', 1, 'kilnText')
call s:Check('area\side', 'side', 1, 'kilnBinding')
call s:Check('area\side', '{', 1, 'kilnBindBrace')
call s:Check('lo hi{', 'hi', 1, 'kilnBinding')
call s:Check('lo hi{', 'width', 1, 'kilnParameter')
call s:Check('lo hi{', 'width', 2, 'kilnWord')
call s:Check('ex\`', '`', 1, 'kilnQuote')
call s:Check('x1y', 'x', 1, 'kilnLetter')
call s:Check('x1y', '1', 1, 'kilnNumber')
call s:Check('x1y', 'twice', 1, 'kilnWord')
call s:Check('aS BKK', 'S', 1, 'kilnCombinator')
call s:Check('aS BKK', 'next_one', 1, 'kilnWord')

if empty(s:failures)
  call writefile(['vim syntax: all checks passed'], $KILN_VIM_REPORT)
  qall!
endif
call writefile(s:failures, $KILN_VIM_REPORT)
cquit!
