## Times Zellmor_path_mex (all three outputs: the trace is kept and traced
## back) against a Zellmor_raw_mex call on the same inputs, both on default
## threads: all subsets of 14 symbols over T = 200 steps, in subset order and
## with the rows shuffled. First, while the process has held little else,
## the peak resident memory one call adds at L = 16, T = 2000, where keeping
## the trace of every step would take 131 MB (one byte per state and step):
## checkpoints every ceil(sqrt(T)) steps instead.
##
##   MEX_MODULE_DIR=build/octave octave-cli --no-history bench/bench_path.m
1;
addpath (fileparts (mfilename ("fullpath")));  # best_times, family_rows, add_module_dir, resident_growth_kb

function path_call (T, O, S, P)
  [~, ~, ~] = Zellmor_path_mex (T, O, S, P);
endfunction

## The path with the checks of all subsets: the heaviest symbol of each step.
function check_path (T, O, S, P)
  [logp, symbols] = Zellmor_path_mex (T, O, S, P);
  [heaviest, best] = max (O);
  assert (isequal (symbols, best) && abs (logp - sum (log (heaviest))) < 1e-12 * abs (logp));
endfunction

add_module_dir ();
budget = 2;

[S, P] = all_subsets (16);
T = 2000;
O = (0.5 + rand (16, T)) / 16;
[growth, path_seconds] = resident_growth_kb (@() check_path (T, O, S, P));
trace_kb = rows (S) * T / 1024;
printf ("L = 16, T = 2000 (n = %d): peak resident memory +%d kB over the call, ", rows (S), growth);
printf ("%.2f of the whole trace (%d kB), %.2f of 100 MB; %.3f s\n", growth / trace_kb, trace_kb, ...
        growth / (100 * 1024), path_seconds);
clear S P O;

[S, P] = all_subsets (14);
T = 200;
O = (0.5 + rand (14, T)) / 14;
n = rows (S);
[shuffled_S, shuffled_P] = family_rows (S, P, [randperm(n - 1), n]);
[logp, symbols] = Zellmor_path_mex (T, O, S, P);
[shuffled_logp, shuffled_symbols] = Zellmor_path_mex (T, O, shuffled_S, shuffled_P);
assert (isequal (logp, shuffled_logp) && isequal (symbols, shuffled_symbols));
printf ("\nL = 14, T = 200, best of runs taken in turn within %g s each\n", budget);
for order = {{"subset order", S, P}, {"rows shuffled", shuffled_S, shuffled_P}}
  [name, So, Po] = order{1}{:};
  times = best_times ({@() Zellmor_raw_mex(T, O, So, Po), @() path_call(T, O, So, Po)}, budget);
  [raw, path] = deal (times(1), times(2));
  printf ("  %-14s Zellmor_raw_mex %.4f s, Zellmor_path_mex %.4f s, path/raw %.2f\n", name, raw, path, path / raw);
endfor
