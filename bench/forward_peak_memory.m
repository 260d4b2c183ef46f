% Peak resident memory that one Zellmor_raw_mex call adds to the Octave
% process, on all subsets of 4 symbols (n = 16) over T = 10^6 steps: the
% call keeps two columns of state weights, whatever T is.
%   MEX_MODULE_DIR=build/octave octave-cli --no-history -q bench/forward_peak_memory.m

module_dir = getenv('MEX_MODULE_DIR');
if isempty(module_dir)
  module_dir = fullfile(fileparts(mfilename('fullpath')), '..', 'build', 'octave');
end
addpath(module_dir);

L = 4; n = 2^L; T = 1e6;
[S, P] = all_subsets(L);
O = rand(L, T);

status_kb = @(field) sscanf(regexp(fileread('/proc/self/status'), [field ':\s*(\d+)'], 'tokens'){1}{1}, '%d');
before = status_kb('VmHWM');
tic; F = Zellmor_raw_mex(T, O, S, P); seconds = toc;
after = status_kb('VmHWM');
printf('n = %d, T = %d: peak resident memory %d kB before the call, %d kB after (+%d kB); %.3f s\n', ...
       n, T, before, after, after - before, seconds);
printf('all T columns of the weights would take %d kB; the input O alone takes %d kB\n', ...
       n * T * 8 / 1024, numel(O) * 8 / 1024);
