% fit_family.m  Fit symbol probabilities on a family of sets with membership_train, and decode.
%   Simulates 300 sequences of 20 steps on bounded_subsets(8, 3): each step
%   draws one of 8 symbols from p, no sequence holds more than 3 distinct
%   symbols, and each draw is reported right with probability 0.7, else as
%   one of the other symbols. Then, from the reports alone:
%     - membership_train recovers p (E known), with standard errors;
%     - membership_viterbi finds the most likely draws of one sequence,
%       beside its true draws and its reports.
%   Saves a figure of the fit, fit_family.png, where fit_gradient.m saves
%   its own: into figure_dir where the caller sets that variable, else into
%   the folder named by MEX_FIGURE_DIR, else into the current folder, unless
%   that is this script's own (then into membership_mex_figures in the
%   temporary folder). The last line printed names the file.
%     octave-cli --no-history examples/fit_family.m
%
% The modules are taken from the path where they are (pkg load
% membership_mex puts them there), else from the folder named by
% MEX_MODULE_DIR, else from build/octave next to this folder.

if exist('Zellmor_grad_mex') ~= 3
  module_dir = getenv('MEX_MODULE_DIR');
  if isempty(module_dir)
    module_dir = fullfile(fileparts(mfilename('fullpath')), '..', 'build', 'octave');
  end
  addpath(module_dir);
  if exist('Zellmor_grad_mex') ~= 3
    error('fit_family: the modules were not found in %s; build them first.', module_dir);
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

L = 8;
[S, P] = bounded_subsets(L, 3);                 % at most 3 distinct symbols a sequence
p_true = [0.22; 0.18; 0.15; 0.12; 0.10; 0.09; 0.08; 0.06];
a = 0.7;                                        % a report is right with probability a
E = (1 - a) / (L - 1) * ones(L) + (a - (1 - a) / (L - 1)) * eye(L);
rng(8);
T = 20;
[reports, drawn] = membership_generate(repmat(T, 1, 300), S, P, p_true, E);

[p_fit, ~, logL, info] = membership_train(reports, S, P, ones(L, 1) / L, E, 'FixEmissions', true);
fprintf('%d sequences of %d reports on at most 3 of %d symbols; E known, p fitted from uniform\n', ...
        numel(reports), T, L);
fprintf('in %d iterations (logL %.4f):\n\n  symbol   true p   fitted p   standard error\n', info.iterations, logL);
fprintf('  %6d   %6.3f   %8.3f   %14.4f\n', [1:L; p_true'; p_fit'; info.stderrP']);
fprintf('\nlargest error %.1f standard errors\n', max(abs(p_fit - p_true) ./ info.stderrP));

% The most likely draws of one sequence, under the fitted model, beside its
% true draws: where the reports are wrong, the set it keeps to often
% corrects them.
shown = 1;
best = membership_viterbi(reports{shown}, S, P, p_fit, E);
fprintf(['\nsequence %d: the reports give the true draw at %d of %d steps, the most likely ' ...
         'draws at %d\n'], shown, sum(reports{shown} == drawn{shown}), T, sum(best == drawn{shown}));

% Run from membership_demo.m, the figure joins the demo's, which draws it on
% screen where there is a display and saves it with the others; run alone,
% it is drawn off screen and saved here.
from_demo = exist('figures', 'var') && exist('new_figure', 'var');
if from_demo
  fig = new_figure(15, 5.5);
  figures(end + 1, :) = {fig, 'fit_family'};
else
  fig = figure('visible', 'off', 'paperunits', 'inches', 'paperposition', [0 0 15 5.5]);
end
subplot(1, 3, 1);
bar(p_true, 0.5, 'facecolor', [0.8 0.8 0.8]);
hold on;
bars = errorbar(1:L, p_fit, 2 * info.stderrP, 'o');
set(bars, 'color', [0.1 0.3 0.8], 'linewidth', 1.5);
hold off;
xlim([0.3 L + 0.7]);
ylim([0 0.3]);
xlabel('symbol');
ylabel('probability of drawing it');
legend('true p', 'fitted, 2 standard errors', 'location', 'northeast');
title(sprintf('p from %d sequences, at most 3 of 8 symbols', numel(reports)), 'fontsize', 10);
subplot(1, 3, 2);
plot(0:info.iterations, info.logLTrace, '-o', 'linewidth', 1.5, 'markersize', 4);
grid on;
xlabel('iteration of membership_train', 'interpreter', 'none');
ylabel('logL of the reports');
title('logL as the fit goes', 'fontsize', 10);
subplot(1, 3, 3);
plot(1:T, drawn{shown}, 's', 'markersize', 10, 'color', [0.5 0.5 0.5], 'linewidth', 1.5);
hold on;
plot(1:T, best, 'o', 'markersize', 6, 'color', [0.1 0.3 0.8], 'markerfacecolor', [0.1 0.3 0.8]);
plot(1:T, reports{shown}, 'x', 'markersize', 8, 'color', [0.8 0.2 0.1], 'linewidth', 1.5);
hold off;
ylim([0.5 L + 2.5]);
set(gca, 'ytick', 1:L);
xlabel('step');
ylabel('symbol');
legend('true draws', 'most likely draws', 'reports', 'location', 'north', 'orientation', 'horizontal');
title(sprintf('Sequence %d: its most likely draws', shown), 'fontsize', 10);
if ~from_demo
  if exist(figure_dir, 'dir') ~= 7, mkdir(figure_dir); end
  file = fullfile(figure_dir, 'fit_family.png');
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
