function add_module_dir ()
  ## Puts the built Octave modules on the path: the folder MEX_MODULE_DIR
  ## names, else build/octave of this tree.
  module_dir = getenv ("MEX_MODULE_DIR");
  if (isempty (module_dir))
    module_dir = fullfile (fileparts (mfilename ("fullpath")), "..", "build", "octave");
  endif
  addpath (module_dir);
endfunction
