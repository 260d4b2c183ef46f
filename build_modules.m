function build_modules (out_dir)
% BUILD_MODULES  Compile the eight modules with this host's own mex command.
%   BUILD_MODULES puts the compiled modules and their help files in the
%   folder build_modules_out; BUILD_MODULES (OUT_DIR) puts them in OUT_DIR.
%   Then addpath (OUT_DIR) to use them; help (OUT_DIR) lists them.
%
%   Runs in GNU Octave (mkoctfile --mex) and in MATLAB (mex, with the
%   32-bit-compatible array API and a GCC-compatible compiler: gcc on Linux,
%   Xcode's clang on macOS, MinGW-w64 on Windows).
  if nargin < 1
    out_dir = 'build_modules_out';
  end
  root = fileparts (mfilename ('fullpath'));
  modules = text_lines (fullfile (root, 'modules', 'MODULES'));
  shared_sources = listed_sources (root);
  if ~exist (out_dir, 'dir')
    mkdir (out_dir);
  end
  is_octave = exist ('OCTAVE_VERSION', 'builtin') ~= 0;
  if is_octave
    % mkoctfile takes compiler and linker flags from the environment only.
    restore_flags = onCleanup (add_to_build_flags ({'CXXFLAGS', compile_flags(), 'LDFLAGS', runtime_flags()}));
  end
  % The shared sources are compiled once, each folder's objects in a folder
  % of their own (file names repeat across folders), and linked into every
  % module beside its gateway.
  object_dir = tempname ();
  remove_objects = onCleanup (@() remove_folder (object_dir, is_octave));
  objects = cellfun (@(source) compile_object (root, source, object_dir, is_octave), shared_sources, ...
                     'UniformOutput', false);
  for k = 1:numel (modules)
    name = modules{k};
    gateway = fullfile (root, 'modules', [name '.cpp']);
    if is_octave
      mex (['-I' root], ['-Wl,--version-script=' fullfile(root, 'cmake', 'mexFunction.map')], ...
           '-o', fullfile (out_dir, name), gateway, objects{:});
    else
      mex ('-compatibleArrayDims', ['-I' root], ['CXXFLAGS=$CXXFLAGS ' compile_flags()], ...
           ['LDFLAGS=$LDFLAGS ' runtime_flags()], '-outdir', out_dir, '-output', name, gateway, objects{:});
    end
    copyfile (fullfile (root, 'modules', [name '.m']), out_dir);
  end
  copyfile (fullfile (root, 'toolbox', '*.m'), out_dir);
  if ~exist (fullfile (out_dir, 'private'), 'dir')
    mkdir (fullfile (out_dir, 'private'));
  end
  copyfile (fullfile (root, 'toolbox', 'private', '*.m'), fullfile (out_dir, 'private'));
  copyfile (fullfile (root, 'modules', 'membership_mex.m'), out_dir);
  write_contents (root, out_dir);
end

% The non-empty lines of a text file that are not comments, trimmed.
function lines = text_lines (file)
  lines = strtrim (strsplit (fileread (file), sprintf ('\n')));
  lines = lines(~cellfun ('isempty', lines) & ~strncmp (lines, '#', 1));
end

% Every .cpp file of the folders in modules/SOURCES. The extra flags that
% file gives some files only tune their speed: they are left to the CMake
% and package builds, whose compilers this function cannot assume.
function sources = listed_sources (root)
  sources = {};
  for entry = text_lines (fullfile (root, 'modules', 'SOURCES'))
    if any (isspace (entry{1}))
      continue;
    end
    listing = dir (fullfile (root, entry{1}, '*.cpp'));
    sources = [sources, cellfun(@(file) fullfile (root, entry{1}, file), {listing.name}, 'UniformOutput', false)];
  end
end

% Compiles one source into object_dir/<its folder>/ and returns the object.
function object = compile_object (root, source, object_dir, is_octave)
  [folder, base] = fileparts (source);
  [~, folder_name] = fileparts (folder);
  out = fullfile (object_dir, folder_name);
  if ~exist (out, 'dir')
    mkdir (out);
  end
  if is_octave
    object = fullfile (out, [base '.o']);
    mex ('-c', ['-I' root], '-o', object, source);
  else
    mex ('-c', '-compatibleArrayDims', ['-I' root], ['CXXFLAGS=$CXXFLAGS ' compile_flags()], '-outdir', out, source);
    extension = '.o';
    if ispc ()
      extension = '.obj';
    end
    object = fullfile (out, [base extension]);
  end
end

function remove_folder (folder, is_octave)
  if ~exist (folder, 'dir')
    return;
  end
  if is_octave
    % Octave asks before removing a folder with files in it, unless told not to.
    confirm = confirm_recursive_rmdir (false);
    rmdir (folder, 's');
    confirm_recursive_rmdir (confirm);
  else
    rmdir (folder, 's');
  end
end

% Contents.m, which "help" on the folder prints, with this tree's version.
function write_contents (root, out_dir)
  version = text_lines (fullfile (root, 'VERSION'));
  text = strrep (fileread (fullfile (root, 'modules', 'Contents.m.in')), '@PROJECT_VERSION@', version{1});
  fid = fopen (fullfile (out_dir, 'Contents.m'), 'w');
  fwrite (fid, text);
  fclose (fid);
end

% Results are compared bit for bit: no contraction into fused multiply-add.
function flags = compile_flags ()
  flags = '-std=c++17 -ffp-contract=off';
end

% The C++ runtime goes into each module, as in the CMake build; the
% unwinder stays shared on Linux, and macOS has its C++ runtime built in.
function flags = runtime_flags ()
  if ispc ()
    flags = '-static';
  elseif ismac ()
    flags = '';
  else
    flags = '-static-libstdc++';
  end
end

% Appends to Octave's build flags (variable, flags, ...) and returns a
% function that puts back what was there before.
function restore = add_to_build_flags (settings)
  names = settings(1:2:end);
  before = cellfun (@getenv, names, 'UniformOutput', false);
  for k = 1:numel (names)
    setenv (names{k}, [strtrim(mkoctfile('-p', names{k})) ' ' settings{2*k}]);
  end
  restore = @() restore_variables (names, before);
end

function restore_variables (names, values)
  for k = 1:numel (names)
    if isempty (values{k})
      unsetenv (names{k});
    else
      setenv (names{k}, values{k});
    end
  end
end
