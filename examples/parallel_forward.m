% parallel_forward.m  Independent forward recursions in worker processes.
%
%   octave-cli --no-history examples/parallel_forward.m
%
% The modules keep no state between calls, so a batch of independent calls
% runs unchanged in worker processes. Here each task is the forward
% recursion over all subsets of L symbols with its own random observation
% weights; the batch runs once in this process with cellfun and once spread
% over nproc workers with parcellfun from Octave's parallel package
% (Debian: octave-parallel), and the two sets of results are compared bit
% for bit. The modules are looked up as in demo.m: in MEX_MODULE_DIR, else
% in build/octave next to this folder.

module_dir = getenv('MEX_MODULE_DIR');
if isempty(module_dir)
  module_dir = fullfile(fileparts(mfilename('fullpath')), '..', 'build', 'octave');
end
addpath(module_dir);
if exist('Zellmor_mex') ~= 3
  error('parallel_forward: the modules were not found in %s; build them first.', module_dir);
end
pkg load parallel

% All subsets of L symbols, row i holding the bits of i-1, and each state's
% predecessor table: P(i, c) is the row of state i without symbol c.
L = 12;
S = double(dec2bin(0:2^L-1, L) == '1');
P = -ones(2^L, L);
for c = 1:L
  has = find(S(:, c));
  P(has, c) = has - 2^(L-c);
end

T = 500;
tasks = arrayfun(@(k) rand(L, T), 1:16, 'UniformOutput', false);
forward = @(O) Zellmor_mex(T, O, S, P);

serial = cellfun(forward, tasks, 'UniformOutput', false);
workers = parcellfun(nproc, forward, tasks, 'UniformOutput', false, 'VerboseLevel', 0);

fprintf('%d tasks over %d states, T = %d, in this process and in %d workers\n', numel(tasks), 2^L, T, nproc);
if ~isequal(serial, workers)
  error('parallel_forward: the workers'' results differ from the serial ones');
end
fprintf('results identical bit for bit\n');
