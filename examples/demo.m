% demo.m  A first tour of the five modules.
%
%   octave-cli --no-history examples/demo.m
%
% The modules are looked up in the folder named by the environment variable
% MEX_MODULE_DIR, else in build/octave next to this folder.

module_dir = getenv('MEX_MODULE_DIR');
if isempty(module_dir)
  module_dir = fullfile(fileparts(mfilename('fullpath')), '..', 'build', 'octave');
end
addpath(module_dir);
if exist('Zellmor_mex') ~= 3
  error('demo: the modules were not found in %s; build them first.', module_dir);
end

% A state as the set of its symbols, e.g. {1, 3}.
as_set = @(row) ['{' strjoin(arrayfun(@num2str, find(row == 1), 'UniformOutput', false), ', ') '}'];
heading = @(text) fprintf('\n== %s ==\n\n', text);

%% 1. The forward recursion on all subsets of two symbols
heading('1. Forward recursion: all subsets of 2 symbols, T = 3, O all ones');
S = [0 0; 1 0; 0 1; 1 1];
P = [-1 -1; 1 -1; -1 1; 3 2];
O = ones(2, 3);
raw = Zellmor_raw_mex(3, O, S, P);
scaled = Zellmor_mex(3, O, S, P);
fprintf('  row  state    P row      Zellmor_raw_mex  Zellmor_mex\n');
for i = 1:size(S, 1)
  fprintf('  %3d  %-7s  [%2d %2d]  %15g  %11g\n', i, as_set(S(i, :)), P(i, :), raw(i), scaled(i));
end
fprintf('\n  The raw weight of a state counts the length-3 sequences whose distinct\n');
fprintf('  symbols form it: {1, 2} is reached by 6 of the 8 sequences. The rescaled\n');
fprintf('  weights are the same numbers divided by their total.\n');

%% 2. A larger state space
L = 10;
T = 50;
heading(sprintf('2. All subsets of L = %d symbols (n = %d states), T = %d steps', L, 2^L, T));
[S, P] = all_subsets(L);   % P(i, k): the row of state i without symbol k
rand('twister', 2024);
O = rand(L, T);
tic;
F = Zellmor_mex(T, O, S, P);
elapsed = toc;
[weight, order] = sort(F, 'descend');
fprintf('  The five most probable states after step %d:\n', T);
for r = 1:5
  fprintf('    %d. %-32s %.6f\n', r, as_set(S(order(r), :)), weight(r));
end
fprintf('\n  Weights sum to %.15f; the call took %.2f ms.\n', sum(F), 1000 * elapsed);

%% 2b. Long sequences: the log scale, and the weights at every step
heading('2b. Over T = 5000 steps: raw weights underflow, the log scale does not');
L = 4;
T = 5000;
[S, P] = all_subsets(L);
rand('twister', 7);
O = 0.01 * rand(L, T);
raw = Zellmor_raw_mex(T, O, S, P);
[F, logScale] = Zellmor_mex(T, O, S, P);
fprintf('  Zellmor_raw_mex: the largest raw weight of step %d is %g (underflowed).\n', T, max(raw));
fprintf('  [F, logScale] = Zellmor_mex(...): logScale = %.6f, the log-likelihood\n', logScale);
fprintf('  of the %d observations; F sums to %.15f.\n', T, sum(F));
[~, logScale100] = Zellmor_mex(T, O, S, P, 100);
fprintf('  At step 100 the raw weights are still representable: log(sum(raw)) = %.12f,\n', ...
        log(sum(Zellmor_raw_mex(100, O, S, P))));
fprintf('  logScale(100) = %.12f.\n', logScale100);
steps = 1:12;
trajectory = Zellmor_mex(T, O, S, P, steps);   % one column per chosen step
fprintf('\n  The weight of state %s at steps 1 to %d, rising while its symbols are\n', as_set(S(8, :)), steps(end));
fprintf('  seen, then giving way to the full state:\n   ');
fprintf(' %.3f', trajectory(8, :));
fprintf('\n  (steps = 1:T gives the whole trajectory, for plots.)\n');

%% 3. The transition pipeline on the small example
heading('3. Transitions: all subsets of 2 symbols');
S = [0 0; 1 0; 0 1; 1 1];
counts = Ortesk_count_mex([], S);
codes = Ortesk_slots_mex([], S, counts);
cum = cumsum(counts);
fprintf('  counts = [%s]\n', strtrim(sprintf('%d ', counts)));
fprintf('  codes  = [%s]\n\n', strtrim(sprintf('%d ', codes)));
fprintf('  A code is to*1000000 + from, rows of S counted from 0 (row 0, the\n');
fprintf('  empty state, takes no part). Decoded, bucket by bucket, as (to, from)\n');
fprintf('  and as the states they join:\n');
for c = 1:numel(counts)
  bucket = codes(cum(c) - counts(c) + 1:cum(c));
  to = fix(bucket / 1e6);
  from = bucket - 1e6 * to;
  pairs = arrayfun(@(t, f) sprintf('(%d, %d) %s<-%s', t, f, as_set(S(t + 1, :)), as_set(S(f + 1, :))), ...
                   to, from, 'UniformOutput', false);
  fprintf('    symbol %d:  %s\n', c, strjoin(pairs, '   '));
end
w = [0.25 0.75];
A = Quivane_mex(zeros(1, size(S, 1) - 1), w, [1; 2], codes, cum);
fprintf('\n  A = Quivane_mex(zeros(1, 3), [0.25 0.75], [1; 2], codes, cumsum(counts)),\n');
fprintf('  A(to, from) being the weight of moving from state "from" to state "to":\n\n');
fprintf('    %-11s%8s%8s%8s\n', 'to \ from', as_set(S(2, :)), as_set(S(3, :)), as_set(S(4, :)));
for r = 1:3
  fprintf('    %-11s%s\n', as_set(S(r + 1, :)), sprintf('%8.2f', A(r, :)));
end

%% 4. The pipeline on all subsets of four symbols
heading('4. Transition matrix: all subsets of 4 symbols, w = [0.1 0.2 0.3 0.4]');
L = 4;
S = all_subsets(L);
w = [0.1 0.2 0.3 0.4];
counts = Ortesk_count_mex([], S);
codes = Ortesk_slots_mex([], S, counts);
A = Quivane_mex(zeros(1, size(S, 1) - 1), w, (1:L)', codes, cumsum(counts));
fprintf('  %d codes; A is %d x %d (rows and columns are rows 2..%d of S; "." is 0):\n\n', ...
        numel(codes), size(A, 1), size(A, 2), size(S, 1));
for r = 1:size(A, 1)
  cells = arrayfun(@(x) sprintf('%5.2f', x), A(r, :), 'UniformOutput', false);
  cells(A(r, :) == 0) = {'    .'};
  fprintf('  %-13s%s\n', as_set(S(r + 1, :)), [cells{:}]);
end
sums = sum(A, 1);
fprintf('\n  column sums:%s\n', sprintf(' %.2f', sums));
closed = abs(sums - 1) < 1e-12;
fprintf('  %d of %d columns sum to 1.\n', nnz(closed), numel(sums));
fprintf(['  From a state, each symbol either is already in it (its weight stays on\n' ...
         '  the diagonal) or leads to the state with that symbol added. Every such\n' ...
         '  state is in S, and none is row 1, which takes no part in the walk: row 1\n' ...
         '  is the empty state, and adding a symbol never leads there. So the whole\n' ...
         '  weight 0.1 + 0.2 + 0.3 + 0.4 = 1 lands in every column.\n']);

% The same matrix as a sparse array: full(As) has exactly the same values.
As = Quivane_mex(zeros(1, size(S, 1) - 1), w, (1:L)', codes, cumsum(counts), 'sparse');
dense_info = whos('A');
sparse_info = whos('As');
fprintf(['\n  As = Quivane_mex(..., ''sparse''): %d stored entries, isequal(full(As), A) = %d;\n' ...
         '  %d bytes against %d for the dense matrix.\n'], nnz(As), isequal(full(As), A), ...
        sparse_info.bytes, dense_info.bytes);

% The same without the full state {1, 2, 3, 4}: the three-symbol states lose
% the weight of the symbol that would complete them.
Sp = S(1:end-1, :);
counts = Ortesk_count_mex([], Sp);
codes = Ortesk_slots_mex([], Sp, counts);
A = Quivane_mex(zeros(1, size(Sp, 1) - 1), w, (1:L)', codes, cumsum(counts));
sums = sum(A, 1);
short = find(abs(sums - 1) >= 1e-12);
fprintf('\n  Without the full state %s, %d columns fall short of 1:\n', as_set(S(end, :)), numel(short));
for j = short
  fprintf('    %-10s sums to %.2f: adding symbol %d leads outside S\n', ...
          as_set(Sp(j + 1, :)), sums(j), find(Sp(j + 1, :) == 0));
end
fprintf('\n');
