" kiln programs end in .kn
autocmd BufNewFile,BufRead *.kn setfiletype kiln
