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
addpath (fileparts (mfilename ("fullpath")));  # best_time, family_rows

function path_call (T, O, S, P)
  [~, ~, ~] = Zellmor_path_mex (T, O, S, P);
endfunction

module_dir = getenv ("MEX_MODULE_DIR");
if (isempty (module_dir))
  module_dir = fullfile (fileparts (mfilename ("fullpath")), "..", "build", "octave");
endif
addpath (module_dir);
budget = 2;

status_kb = @(field) sscanf (regexp (fileread ("/proc/self/status"), [field ':\s*(\d+)'], "tokens"){1}{1}, "%d");
[S, P] = all_subsets (16);
T = 2000;
O = (0.5 + rand (16, T)) / 16;
before = status_kb ("VmHWM");
tic; [logp, symbols, states] = Zellmor_path_mex (T, O, S, P); path_seconds = toc;
after = status_kb ("VmHWM");
[heaviest, best] = max (O);
assert (isequal (symbols, best) && abs (logp - sum (log (heaviest))) < 1e-12 * abs (logp));
trace_kb = rows (S) * T / 1024;
printf ("L = 16, T = 2000 (n = %d): peak resident memory +%d kB over the call (%d kB before), ", ...
        rows (S), after - before, before);
printf ("%.2f of the whole trace (%d kB), %.2f of 100 MB; %.3f s\n", (after - before) / trace_kb, trace_kb, ...
        (after - before) / (100 * 1024), path_seconds);
clear S P O symbols states;

[S, P] = all_subsets (14);
T = 200;
O = (0.5 + rand (14, T)) / 14;
n = rows (S);
[shuffled_S, shuffled_P] = family_rows (S, P, [randperm(n - 1), n]);
[logp, symbols] = Zellmor_path_mex (T, O, S, P);
[shuffled_logp, shuffled_symbols] = Zellmor_path_mex (T, O, shuffled_S, shuffled_P);
assert (isequal (logp, shuffled_logp) && isequal (symbols, shuffled_symbols));
printf ("\nL = 14, T = 200, best of runs within %g s each\n", budget);
for order = {{"subset order", S, P}, {"rows shuffled", shuffled_S, shuffled_P}}
  [name, So, Po] = order{1}{:};
  raw = best_time (@() Zellmor_raw_mex (T, O, So, Po), budget);
  path = best_time (@() path_call (T, O, So, Po), budget);
  printf ("  %-14s Zellmor_raw_mex %.4f s, Zellmor_path_mex %.4f s, path/raw %.2f\n", name, raw, path, path / raw);
endfor
