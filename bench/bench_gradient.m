## Times Zellmor_grad_mex ([logL, dO], every derivative) against a Zellmor_mex
## call on the same inputs and threads: all subsets of 14 symbols over
## T = 200 steps, in subset order and with the rows shuffled; against the
## backward pass a user would write in vectorised Octave; and the peak memory
## and time of the case whose columns are recomputed (L = 16, T = 2000:
## keeping every column would take 1 GB). The memory comes first, while the
## process has held little else.
##
##   MEX_MODULE_DIR=build/octave octave-cli --no-history bench/bench_gradient.m
1;
addpath (fileparts (mfilename ("fullpath")));  # best_time(s), family_rows, add_module_dir

## The forward recursion keeping every rescaled column, then the backward
## pass, each step one vectorised update per symbol of the last state.
function [logL, dO] = gradient_vectorised (T, O, S, P)
  [n, L] = size (S);
  single = sum (S, 2) == 1;
  [~, symbol] = max (S(single, :) == 1, [], 2);
  Q = find (S(n, :) == 1);
  has = P ~= -1;
  predecessor = P;
  predecessor(~has) = 1;
  A = zeros (n, T);
  c = ones (1, T);
  A(single, 1) = O(symbol, 1);
  for t = 1:T - 1
    next = zeros (n, 1);
    for k = 1:numel (Q)
      m = has(:, k);
      next(m) += (A(predecessor(m, k), t) + A(m, t)) * O(Q(k), t + 1);
    endfor
    c(t + 1) = sum (next);
    A(:, t + 1) = next / c(t + 1);
  endfor
  logL = sum (log (c)) + log (sum (A(:, T)));
  B = ones (n, 1) / sum (A(:, T));
  dO = zeros (L, T);
  for t = T - 1:-1:1
    earlier = zeros (n, 1);
    for k = 1:numel (Q)
      m = has(:, k);
      weight = O(Q(k), t + 1);
      earlier += accumarray (predecessor(m, k), B(m) * weight, [n 1]);
      earlier(m) += B(m) * weight;
      dO(Q(k), t + 1) = sum (B(m) .* (A(predecessor(m, k), t) + A(m, t))) / c(t + 1);
    endfor
    B = earlier / c(t + 1);
  endfor
  dO(:, 1) = accumarray (symbol, B(single), [L 1]);
endfunction

## A call that asks for dO, and so runs the backward sweep.
function gradient_call (T, O, S, P)
  [~, ~] = Zellmor_grad_mex (T, O, S, P);
endfunction

add_module_dir ();
budget = 2;

status_kb = @(field) sscanf (regexp (fileread ("/proc/self/status"), [field ':\s*(\d+)'], "tokens"){1}{1}, "%d");
[S, P] = all_subsets (16);
T = 2000;
O = (0.5 + rand (16, T)) / 16;
before = status_kb ("VmHWM");
tic; [logL, dO] = Zellmor_grad_mex (T, O, S, P); gradient_seconds = toc;
after = status_kb ("VmHWM");
tic; [~, logScale] = Zellmor_mex (T, O, S, P); forward_seconds = toc;
assert (abs (logL - logScale) < 1e-12 * abs (logScale));
printf ("L = 16, T = 2000 (n = %d): peak resident memory +%d kB over the call (%d kB before); ", ...
        rows (S), after - before, before);
printf ("gradient %.3f s, forward %.3f s, ratio %.2f\n", gradient_seconds, forward_seconds, ...
        gradient_seconds / forward_seconds);
clear S P O dO;

[S, P] = all_subsets (14);
T = 200;
O = (0.5 + rand (14, T)) / 14;
n = rows (S);
kept = [randperm(n - 1), n];
[shuffled_S, shuffled_P] = family_rows (S, P, kept);
[logL, dO] = Zellmor_grad_mex (T, O, S, P);
[shuffled_logL, shuffled_dO] = Zellmor_grad_mex (T, O, shuffled_S, shuffled_P);
assert (abs (logL - shuffled_logL) < 1e-12 * abs (logL) && max (abs (dO(:) - shuffled_dO(:))) < 1e-12);
printf ("\nL = 14, T = 200, best of runs within %g s each\n", budget);
for order = {{"subset order", S, P}, {"rows shuffled", shuffled_S, shuffled_P}}
  [name, So, Po] = order{1}{:};
  times = best_times ({@() Zellmor_mex(T, O, So, Po), @() gradient_call(T, O, So, Po)}, budget);
  [forward, gradient] = deal (times(1), times(2));
  printf ("  %-14s Zellmor_mex %.4f s, Zellmor_grad_mex %.4f s, gradient/forward %.2f\n", ...
          name, forward, gradient, gradient / forward);
endfor
[vectorised_logL, vectorised_dO] = gradient_vectorised (T, O, S, P);
assert (abs (vectorised_logL - logL) < 1e-12 * abs (logL));
assert (max (abs (vectorised_dO(:) - dO(:))) < 1e-10 * max (abs (dO(:))));
vectorised = best_time (@() gradient_vectorised (T, O, S, P), budget, 1);
printf ("  vectorised Octave gradient %.4f s, %.0fx the module's\n", vectorised, vectorised / gradient);
