function build_modules (out_dir)
% BUILD_MODULES  Compile the five modules with this host's own mex command.
%   BUILD_MODULES puts the compiled modules and their help files in the
%   folder build_modules_out; BUILD_MODULES (OUT_DIR) puts them in OUT_DIR.
%   Then addpath (OUT_DIR) to use them.
%
%   Runs in GNU Octave (mkoctfile --mex) and in MATLAB (mex, with the
%   32-bit-compatible array API and a GCC-compatible compiler: gcc on Linux,
%   Xcode's clang on macOS, MinGW-w64 on Windows).
  if nargin < 1
    out_dir = 'build_modules_out';
  end
  root = fileparts (mfilename ('fullpath'));
  modules = {'Zellmor_mex', 'Zellmor_raw_mex', 'Ortesk_count_mex', 'Ortesk_slots_mex', 'Quivane_mex'};
  shared_sources = [{fullfile(root, 'host', 'gateway.cpp')}, kernel_sources(root)];
  if ~exist (out_dir, 'dir')
    mkdir (out_dir);
  end
  is_octave = exist ('OCTAVE_VERSION', 'builtin') ~= 0;
  if is_octave
    % mkoctfile takes compiler and linker flags from the environment only.
    restore_flags = onCleanup (add_to_build_flags ({'CXXFLAGS', compile_flags(), 'LDFLAGS', runtime_flags()}));
  end
  for k = 1:numel (modules)
    name = modules{k};
    sources = [{fullfile(root, 'modules', [name '.cpp'])}, shared_sources];
    if is_octave
      mex (['-I' root], ['-Wl,--version-script=' fullfile(root, 'cmake', 'mexFunction.map')], ...
           '-o', fullfile (out_dir, name), sources{:});
    else
      mex ('-compatibleArrayDims', ['-I' root], ['CXXFLAGS=$CXXFLAGS ' compile_flags()], ...
           ['LDFLAGS=$LDFLAGS ' runtime_flags()], '-outdir', out_dir, '-output', name, sources{:});
    end
    copyfile (fullfile (root, 'modules', [name '.m']), out_dir);
  end
  copyfile (fullfile (root, 'toolbox', '*.m'), out_dir);
end

% Every .cpp file of the kernel folders.
function sources = kernel_sources (root)
  sources = {};
  for folder = {'kernel', 'arrays', 'forward', 'transitions', 'assembly'}
    listing = dir (fullfile (root, folder{1}, '*.cpp'));
    sources = [sources, cellfun(@(file) fullfile (root, folder{1}, file), {listing.name}, 'UniformOutput', false)];
  end
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
