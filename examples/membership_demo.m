% membership_demo.m  A first tour of the eight modules and the model they serve.
%
%   octave-cli --no-history examples/membership_demo.m
%
% The modules are looked up in the folder named by the environment variable
% MEX_MODULE_DIR, else wherever they already are on the path (pkg load
% membership_mex puts them there), else in build-demo/octave or build/octave
% next to this folder.
%
% The figures appear on screen where there is a display. They are saved as
% PNG files into the folder named by MEX_FIGURE_DIR, or, without a display
% and without that variable, into membership_mex_figures in the temporary
% folder; the last lines printed name the files.

here = fileparts(mfilename('fullpath'));
module_dir = getenv('MEX_MODULE_DIR');
if ~isempty(module_dir)
  addpath(module_dir);
elseif exist('Zellmor_mex') ~= 3
  module_dir = fullfile(here, '..', 'build-demo', 'octave');
  if exist(fullfile(module_dir, 'Contents.m'), 'file') ~= 2
    module_dir = fullfile(here, '..', 'build', 'octave');
  end
  addpath(module_dir);
end
if exist('Zellmor_mex') ~= 3
  error('membership_demo: the modules were not found in %s; build them first.', module_dir);
end

% Drawing is kept apart from saving: each figure is drawn into `figures`,
% shown only where there is a display, and saved at the end.
is_octave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
if is_octave
  on_screen = have_window_system();
else
  on_screen = usejava('desktop');
end
figure_dir = getenv('MEX_FIGURE_DIR');
if isempty(figure_dir) && ~on_screen
  figure_dir = fullfile(tempdir, 'membership_mex_figures');
end
warnings_before = warning();
png_device = '-dpng';
if is_octave && strcmp(graphics_toolkit(), 'gnuplot')
  % Headless Octave draws with gnuplot, whose own PNG terminal needs no
  % Ghostscript; its advice to use another toolkit says nothing here.
  warning('off', 'Octave:gnuplot-graphics');
  warning('off', 'print:nogs');
  png_device = '-dpngcairo';
end
visible = {'off', 'on'};
new_figure = @(width, height) figure('visible', visible{1 + on_screen}, 'color', 'w', ...
                                     'paperunits', 'inches', 'paperposition', [0 0 width height]);
figures = cell(0, 2);   % handle, file name

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
fprintf(['\n  Every sequence of symbols ends in some state, and here every state is\n' ...
         '  kept: the log scale is then the sum over steps of log(sum(O(:, t))),\n' ...
         '  %.6f. (It matters on restricted families, and for the weight of\n' ...
         '  ending in a given set.)\n'], sum(log(sum(O, 1))));

% Figure: a few states over the first steps, rescaled; and the same weights
% as log10 over more steps, from the raw weights (until they underflow) and
% from F and the log scale, which stay finite. F .* exp(logScale) are the
% raw weights at every step, step 1 included.
steps = 1:300;
shown = [2 4 8 16];   % {1}, {1, 2}, {1, 2, 3}, {1, 2, 3, 4}
shown_names = arrayfun(@(i) as_set(S(i, :)), shown, 'UniformOutput', false);
[F, logScale] = Zellmor_mex(steps(end), O, S, P, steps);
raw = Zellmor_raw_mex(steps(end), O, S, P, steps);
underflow = find(all(raw == 0, 1), 1);
colours = lines(numel(shown));
figures(end + 1, :) = {new_figure(14, 6), 'forward_trajectory'};
subplot(1, 2, 1);
hold on;
for k = 1:numel(shown)
  plot(steps, F(shown(k), :), '-o', 'color', colours(k, :), 'linewidth', 1.5, 'markersize', 3);
end
hold off;
xlim([1 20]);
ylim([0 1]);
grid on;
xlabel('step t (step 1 is not rescaled)');
ylabel('weight F of the state');
title('Four of 16 states: F = Zellmor_mex(T, O, S, P, 1:T)', 'interpreter', 'none', 'fontsize', 10);
legend(shown_names, 'location', 'east', 'interpreter', 'none');
subplot(1, 2, 2);
hold on;
marks = 1:10:numel(steps);
for k = 1:numel(shown)
  from_scale = log10(F(shown(k), :)) + logScale / log(10);
  h = plot(steps, from_scale, '-', 'color', colours(k, :), 'linewidth', 1.5);
  r = raw(shown(k), marks);
  r(r == 0) = NaN;
  g = plot(steps(marks), log10(r), 'o', 'color', colours(k, :), 'markersize', 5);
end
m = plot(steps([1 end]), log10(realmin) * [1 1], ':k', 'linewidth', 1);
hold off;
grid on;
xlabel('step t');
ylabel('log10 of the raw weight');
title(sprintf('Raw weights are 0 from step %d on; the log scale stays finite', underflow), ...
      'interpreter', 'none', 'fontsize', 10);
legend([h g m], {'Zellmor_mex: log10(F) + logScale/log(10)', 'Zellmor_raw_mex: log10(raw)', ...
                 'smallest normal double'}, 'location', 'southwest', 'interpreter', 'none', 'fontsize', 9);

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

% The forward recursion run with O(:, t) = w at every step is the chain whose
% one-step matrix is A: A^(t-1) applied to step 1 gives the raw weights of step t.
[S, P] = all_subsets(L);
t = 6;
first = Zellmor_raw_mex(1, w', S, P);
forward = Zellmor_raw_mex(t, repmat(w', 1, t), S, P);
chain = A ^ (t - 1) * first(2:end);
forward = forward(2:end);
fprintf(['\n  A is the one-step matrix of the forward recursion with O(:, t) = w at\n' ...
         '  every step: A^%d * (its step-1 weights) gives its raw weights of step %d\n' ...
         '  to within %.1g, relatively (rows 2..%d of S; row 1 holds no weight).\n'], ...
        t - 1, t, max(abs(chain - forward)) / max(abs(forward)), size(S, 1));

% Figure: A as an image, and the pattern of the sparse form on all subsets
% of 8 symbols.
labels = arrayfun(@(i) sprintf('%d', find(S(i, :))), 2:size(S, 1), 'UniformOutput', false);
figures(end + 1, :) = {new_figure(14, 7.5), 'transition_matrix'};
subplot(1, 2, 1);
imagesc(A);
set(gca, 'position', [0.04 0.1 0.44 0.8]);
axis square;
colormap(flipud(bone(64)));
colorbar;
% Every other from-state is labelled: side by side, all of them run together
% ("134 234 1234"), and gnuplot does not rotate tick labels.
set(gca, 'xtick', 1:2:numel(labels), 'xticklabel', labels(1:2:end), 'ytick', 1:numel(labels), ...
    'yticklabel', labels, 'fontsize', 8);
xlabel(sprintf('from state (every other labelled); symbol weights w = [%s]', strtrim(sprintf('%g ', w))));
ylabel('to state (its symbols)');
title('A = Quivane_mex(...) on all subsets of 4 symbols', 'interpreter', 'none', 'fontsize', 10);
subplot(1, 2, 2);
S8 = all_subsets(8);
counts8 = Ortesk_count_mex([], S8);
As8 = Quivane_mex(zeros(1, size(S8, 1) - 1), ones(1, 8) / 8, (1:8)', Ortesk_slots_mex([], S8, counts8), ...
                  cumsum(counts8), 'sparse');
spy(As8, '.', 3);
set(gca, 'position', [0.56 0.1 0.4 0.8]);
axis square;
xlabel('from state (row of S less 1)');
ylabel('to state');
title(sprintf('Sparse form on 8 symbols: %d of %d^2 entries stored', nnz(As8), size(As8, 1)), ...
      'interpreter', 'none', 'fontsize', 10);

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

%% 5. Fitting by maximum likelihood with the gradient
heading('5. Fitting symbol probabilities with Zellmor_grad_mex');
run(fullfile(fileparts(mfilename('fullpath')), 'fit_gradient.m'));

%% 6. Expected times from the sparse transition matrix
heading('6. Expected draws until every symbol is seen, from transition_matrix');
run(fullfile(fileparts(mfilename('fullpath')), 'coupon_collector.m'));

%% 7. Fitting the draw-and-report model on a family
heading('7. Fitting p on at most 3 of 8 symbols with membership_train, and decoding');
run(fullfile(fileparts(mfilename('fullpath')), 'fit_family.m'));

%% 8. The figures
if ~isempty(figure_dir)
  heading('8. Figures');
  if exist(figure_dir, 'dir') ~= 7
    mkdir(figure_dir);
  end
  for k = 1:size(figures, 1)
    file = fullfile(figure_dir, [figures{k, 2} '.png']);
    print(figures{k, 1}, png_device, '-r100', file);
    fprintf('  %s\n', file);
  end
  fprintf('\n');
end
if ~on_screen
  for k = 1:size(figures, 1)
    close(figures{k, 1});
  end
end
warning(warnings_before);
