## Many sequences in one call against a loop of single calls, and the threads
## a batch takes against one; then the rescaled step against the raw one on
## one thread. Every time is the best of several runs in this session, each
## pair side by side; OMP_NUM_THREADS is set and unset here (every call reads
## it anew) and put back as the caller had it.
##
##   MEX_MODULE_DIR=build/octave octave-cli --no-history bench/bench_batches.m
##
## bench_octave.m runs it last.
1;
addpath (fileparts (mfilename ("fullpath")));  # best_time(s), add_module_dir
add_module_dir ();

function set_threads (value)
  if (isempty (value))
    unsetenv ("OMP_NUM_THREADS");
  else
    setenv ("OMP_NUM_THREADS", value);
  endif
endfunction

threads_before = getenv ("OMP_NUM_THREADS");
rand ("seed", 20);
[L, B, T] = deal (8, 1000, 100);
[S, P] = all_subsets (L);
sequences = arrayfun (@(b) (0.5 + rand (L, T)) / L, 1:B, "UniformOutput", false);
function loop (module, T, sequences, S, P)
  for b = 1:numel (sequences)
    feval (module, T, sequences{b}, S, P);
  endfor
endfunction

printf ("\n%d sequences at L = %d (n = %d), T = %d, best of 3 (seconds a sequence)\n", B, L, 2 ^ L, T);
printf ("%18s %12s %12s %12s %10s %10s\n", "module", "loop", "batch", "batch, 1 th", "loop/batch", "1 th/batch");
for module = {"Zellmor_mex", "Zellmor_raw_mex", "Zellmor_grad_mex"}
  set_threads ("");
  times = best_times ({@() loop(module{1}, T, sequences, S, P), @() feval(module{1}, T, sequences, S, P)}, 0, 3);
  [single, batch] = deal (times(1), times(2));
  set_threads ("1");
  one = best_time (@() feval (module{1}, T, sequences, S, P), 0, 3);
  printf ("%18s %10.3g s %10.3g s %10.3g s %9.2fx %9.2fx\n", module{1}, single / B, batch / B, one / B, ...
          single / batch, one / batch);
endfor

printf ("\nthe rescaled step against the raw one, one thread, all subsets, T = 100 (best of 5)\n");
printf ("%4s %8s %12s %12s %8s\n", "L", "n", "raw", "rescaled", "2/1");
set_threads ("1");
for L = [8 10 12 14]
  [S, P] = all_subsets (L);
  O = (0.5 + rand (L, 100)) / L;
  times = best_times ({@() Zellmor_raw_mex(100, O, S, P), @() Zellmor_mex(100, O, S, P)}, 0, 5);
  [raw, rescaled] = deal (times(1), times(2));
  printf ("%4d %8d %10.4g s %10.4g s %7.2fx\n", L, 2 ^ L, raw, rescaled, rescaled / raw);
endfor
set_threads (threads_before);
