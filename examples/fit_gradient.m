% fit_gradient.m  Fit symbol probabilities by maximum likelihood with Zellmor_grad_mex.
%   Simulates T steps, each drawing one of L symbols with probabilities p and
%   reporting it through a noisy channel (right with probability a), then
%   recovers p from the reports alone by gradient ascent on logL, the
%   derivative coming from dO by the chain rule. Saves a figure of the fit,
%   fit_gradient.png, into figure_dir where the caller sets that variable,
%   else into the folder named by MEX_FIGURE_DIR, else into the current
%   folder, unless that is this script's own (run() moves there while the
%   script runs): then into membership_mex_figures in the temporary folder,
%   as the demo does. The last line printed names the file.
%     octave-cli --no-history examples/fit_gradient.m
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
    error('fit_gradient: the modules were not found in %s; build them first.', module_dir);
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

rand('seed', 1); randn('seed', 1);
L = 4; T = 2000; a = 0.8;
p_true = [0.4; 0.3; 0.2; 0.1];
drawn = sum(rand(1, T) > cumsum(p_true), 1) + 1;               % the symbols drawn
wrong = rand(1, T) > a;
reported = drawn;
reported(wrong) = mod(drawn(wrong) + randi(L - 1, 1, sum(wrong)) - 1, L) + 1;
% The likelihood of each report under each symbol: a where they agree.
lik = (1 - a) / (L - 1) * ones(L, T);
lik(sub2ind([L T], reported, 1:T)) = a;

[S, P] = all_subsets(L);
theta = zeros(L, 1);                                           % p = softmax(theta)
rate = 2 / T;
trace = zeros(1, 200);
for it = 1:numel(trace)
  p = exp(theta) / sum(exp(theta));
  [trace(it), dO] = Zellmor_grad_mex(T, p .* lik, S, P);
  grad_p = sum(dO .* lik, 2);                                  % dO(s,t) / dp_s = lik(s,t)
  theta = theta + rate * p .* (grad_p - p' * grad_p);          % through the softmax
end
p_fit = exp(theta) / sum(exp(theta));
fprintf('true p      %s\nfitted p    %s\nlargest error %.3f (sampling error about %.3f)\n', ...
        mat2str(p_true', 3), mat2str(p_fit', 3), max(abs(p_fit - p_true)), sqrt(0.25 / T) / (a - (1 - a) / (L - 1)));

% Run from membership_demo.m, the figure joins the demo's, which draws it on screen
% where there is a display and saves it with the others; run alone, it is
% drawn off screen and saved here.
from_demo = exist('figures', 'var') && exist('new_figure', 'var');
if from_demo
  fig = new_figure(12, 6);
  figures(end + 1, :) = {fig, 'fit_gradient'};
else
  fig = figure('visible', 'off');
end
subplot(1, 2, 1);
bar([p_true p_fit]);
ylim([0 0.55]);
legend('true p', 'fitted from the reports', 'location', 'northeast');
xlabel('symbol');
ylabel('probability of drawing it');
title(sprintf('p fitted from %d noisy reports', T), 'fontsize', 10);
subplot(1, 2, 2);
plot(trace, 'linewidth', 1.5);
grid on;
xlabel('gradient ascent iteration');
ylabel('log-likelihood logL of the reports');
title('logL of Zellmor_grad_mex as the fit goes', 'interpreter', 'none', 'fontsize', 10);
if ~from_demo
  if ~exist(figure_dir, 'dir'), mkdir(figure_dir); end
  file = fullfile(figure_dir, 'fit_gradient.png');
  % PNG through the graphics toolkit's own cairo driver where there is one:
  % plain -dpng goes through Ghostscript under gnuplot.
  if strcmp(graphics_toolkit(), 'gnuplot')
    warning('off', 'print:nogs');
    print(fig, file, '-dpngcairo');
  else
    print(fig, file, '-dpng');
  end
  fprintf('figure saved to %s\n', file);
end
