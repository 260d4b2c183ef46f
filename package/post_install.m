## Octave finds the help of a compiled function only in the compiled file's
## own folder, and pkg install puts the modules in a folder of their own for
## this architecture: each module's help file moves there, beside it.
function post_install (desc)
  modules = strtrim (strsplit (fileread (fullfile ("src", "modules", "MODULES")), "\n"));
  for name = modules(! cellfun ("isempty", modules))
    compiled = glob (fullfile (desc.archprefix, "*", [name{1} ".mex"]));
    if (numel (compiled) != 1)
      error ("post_install: %s.mex was not installed", name{1});
    endif
    [status, message] = movefile (fullfile (desc.dir, [name{1} ".m"]), fileparts (compiled{1}));
    if (! status)
      error ("post_install: %s.m: %s", name{1}, message);
    endif
  endfor
endfunction
