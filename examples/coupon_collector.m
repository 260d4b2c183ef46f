% coupon_collector.m  Expected draws until every one of L symbols is seen, from the sparse transition matrix.
%   Each draw picks symbol c with probability p(c), unequal. The states are
%   the sets of symbols seen so far, every subset of L symbols; one draw
%   moves from a set to itself (a symbol already seen) or to the set with
%   one symbol added, and transition_matrix(S, p) is that chain's matrix,
%   sparse and lower triangular. The expected number of draws until the full
%   set comes from its fundamental matrix: one sparse triangular solve over
%   every state but the full one, plus the first draw, which leaves the
%   empty set (row 1 of S, which the matrix leaves out). The closed form
%       E = integral from 0 to Inf of 1 - prod(1 - exp(-p(c) x)) dx
%   by quadrature (to a relative 1e-12) checks it, for L = 4 to 20 (2^20
%   states), with the time of each part. Saves a figure of both,
%   coupon_collector.png, where fit_family.m saves its own: into figure_dir
%   where the caller sets that variable, else into the folder named by
%   MEX_FIGURE_DIR, else into the current folder, unless that is this
%   script's own (then into membership_mex_figures in the temporary
%   folder). The last line printed names the file.
%     octave-cli --no-history examples/coupon_collector.m
%
% The modules are taken from the path where they are (pkg load
% membership_mex puts them there), else from the folder named by
% MEX_MODULE_DIR, else from build/octave next to this folder.

if exist('Quivane_states_mex') ~= 3
  module_dir = getenv('MEX_MODULE_DIR');
  if isempty(module_dir)
    module_dir = fullfile(fileparts(mfilename('fullpath')), '..', 'build', 'octave');
  end
  addpath(module_dir);
  if exist('Quivane_states_mex') ~= 3
    error('coupon_collector: the modules were not found in %s; build them first.', module_dir);
  end
end
if ~exist('figure_dir', 'var') || isempty(figure_dir)
  figure_dir = getenv('MEX_FIGURE_DIR');
end
if isempty(figure_dir)
  figure_dir = pwd;
  if strcmp(figure_dir, fileparts(mfilename('fullpath')))
    figure_dir = fullfile(tempdir, 'membership_mex_figures');
  end
end

sizes = 4:20;
[expected, closed, entries, matrix_time, solve_time] = deal(zeros(size(sizes)));
fprintf('   L    states     entries  expected draws      closed form   rel. diff  matrix s  solve s\n');
for k = 1:numel(sizes)
  L = sizes(k);
  p = (1:L) / sum(1:L);                      % symbol L is drawn L times as often as symbol 1
  S = all_subsets(L);                        % row i holds the bits of i-1: {} first, the full set last
  tic;
  A = transition_matrix(S, p);               % A(to, from): rows and columns are rows 2..2^L of S
  matrix_time(k) = toc;
  tic;
  m = size(A, 1) - 1;                        % every state but the full one, the last
  % t(s): expected draws from state s until the full set; t' = ones' * inv(I - Q).
  t = (speye(m) - A(1:m, 1:m))' \ ones(m, 1);
  singles = 2 .^ (0:L-1);                    % {c} is row 2^(c-1) + 1 of S, state 2^(c-1)
  expected(k) = 1 + p * t(singles);
  solve_time(k) = toc;
  % 1 - prod(1 - exp(-p x)), without cancelling where the product is near 1.
  unseen = @(x) reshape(-expm1(sum(log1p(-exp(-p(:) * x(:)')), 1)), size(x));
  closed(k) = quadgk(unseen, 0, Inf, 'RelTol', 1e-12, 'AbsTol', 0);
  entries(k) = nnz(A);
  fprintf('  %2d  %8d  %10d  %14.9f  %15.9f  %10.1e  %8.3f  %7.3f\n', L, 2^L, entries(k), expected(k), ...
          closed(k), abs(expected(k) - closed(k)) / closed(k), matrix_time(k), solve_time(k));
end
fprintf(['The largest relative difference is %.1e. transition_matrix took %.2f s for the %d states\n' ...
         'of L = %d (%d entries), the triangular solve %.2f s.\n'], ...
        max(abs(expected - closed) ./ closed), matrix_time(end), 2^sizes(end), sizes(end), entries(end), ...
        solve_time(end));

% Run from membership_demo.m, the figure joins the demo's, which draws it on
% screen where there is a display and saves it with the others; run alone,
% it is drawn off screen and saved here.
from_demo = exist('figures', 'var') && exist('new_figure', 'var');
if from_demo
  fig = new_figure(12, 6);
  figures(end + 1, :) = {fig, 'coupon_collector'};
else
  fig = figure('visible', 'off', 'paperunits', 'inches', 'paperposition', [0 0 12 6]);
end
subplot(1, 2, 1);
plot(sizes, closed, '-', 'linewidth', 1, sizes, expected, 'o', 'markersize', 5, 'linewidth', 1.5);
grid on;
xlabel('L (symbol c drawn with probability proportional to c)');
ylabel('expected draws');
legend({'closed form, by quadrature', 'from A = transition_matrix(S, p)'}, 'location', 'northwest', ...
       'interpreter', 'none');
title(sprintf('Draws until all L symbols are seen: agree to %.0e', max(abs(expected - closed) ./ closed)), ...
      'fontsize', 10);
subplot(1, 2, 2);
loglog(2 .^ sizes, matrix_time, '-o', 2 .^ sizes, solve_time, '-s', 'linewidth', 1.5, 'markersize', 4);
grid on;
xlabel('states, 2^L');
ylabel('seconds');
legend({'A = transition_matrix(S, p)', 'triangular solve on A'}, 'location', 'northwest', 'interpreter', 'none');
title(sprintf('L = %d: %d entries in %.2f s', sizes(end), entries(end), matrix_time(end)), 'fontsize', 10);
if ~from_demo
  if exist(figure_dir, 'dir') ~= 7, mkdir(figure_dir); end
  file = fullfile(figure_dir, 'coupon_collector.png');
  % Under Octave's gnuplot, its own cairo PNG driver needs no Ghostscript.
  device = '-dpng';
  if exist('OCTAVE_VERSION', 'builtin') && strcmp(graphics_toolkit(), 'gnuplot')
    warning('off', 'print:nogs');
    device = '-dpngcairo';
  end
  print(fig, file, device);
  close(fig);
  fprintf('figure saved to %s\n', file);
end
