" kiln programs: :make checks the file with `kiln --check`.
if exists('b:did_ftplugin')
  finish
endif
let b:did_ftplugin = 1
compiler kiln
let b:undo_ftplugin = 'setlocal makeprg< errorformat<'
