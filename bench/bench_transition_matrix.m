## transition_matrix (S, w) on every subset of 20 symbols (2^20 states,
## 11.5 million entries): the growth of this process's peak resident memory
## over the call against the result's size, then the time on one thread and
## on two, each against the same call's time on the largest S the code
## pipeline takes (2048 states), side by side with the pipeline itself.
## Memory comes first, while the process holds little else; the peak is
## reset just before the call where Linux allows it (/proc/self/clear_refs),
## so that building S does not hide it.
##
##   MEX_MODULE_DIR=build/octave octave-cli --no-history bench/bench_transition_matrix.m
1;
addpath (fileparts (mfilename ("fullpath")));  # best_time(s), add_module_dir

add_module_dir ();
budget = 3;

status_kb = @(field) sscanf (regexp (fileread ("/proc/self/status"), [field ':\s*(\d+)'], "tokens"){1}{1}, "%d");
L = 20;
S = all_subsets (L);
w = (1:L) / sum (1:L);
[fid, reason] = fopen ("/proc/self/clear_refs", "w");
if (fid >= 0)
  fprintf (fid, "5");
  fclose (fid);
  baseline = "resident memory just before the call (peak reset)";
else
  baseline = sprintf ("the peak before the call, building S included (%s): a lower bound", reason);
endif
before = status_kb ("VmHWM");
tic; A = transition_matrix (S, w); first_call = toc;
growth = status_kb ("VmHWM") - before;
info = whos ("A");
printf ("L = %d (%d states, %d entries): peak resident memory +%d kB over %s;\n", ...
        L, 2^L, nnz (A), growth, baseline);
printf ("  the result takes %d kB: growth / result = %.2f. First call %.3f s.\n", ...
        round (info.bytes / 1024), growth * 1024 / info.bytes, first_call);
clear A;

## OMP_NUM_THREADS is read at every call: 1 gives one thread.
threads = getenv ("OMP_NUM_THREADS");
unwind_protect
  setenv ("OMP_NUM_THREADS", "1");
  one = best_time (@() transition_matrix (S, w), budget);
  setenv ("OMP_NUM_THREADS", "");
  two = best_time (@() transition_matrix (S, w), budget);
unwind_protect_cleanup
  setenv ("OMP_NUM_THREADS", threads);
end_unwind_protect
printf ("best of runs within %g s: one thread %.3f s, as many as gain %.3f s (%.2fx)\n", budget, one, two, one / two);

## Where the codes still reach: 2048 states, the pipeline against this call.
S11 = all_subsets (11);
w11 = (1:11) / sum (1:11);
pipeline = @() Quivane_mex (zeros (1, 2047), w11, (1:11)', Ortesk_slots_mex ([], S11, Ortesk_count_mex ([], S11)), ...
                            cumsum (Ortesk_count_mex ([], S11)), "sparse");
assert (isequal (transition_matrix (S11, w11), pipeline ()));
times = best_times ({@() transition_matrix(S11, w11), pipeline}, budget);
[direct, coded] = deal (times(1), times(2));
printf ("L = 11 (2048 states): transition_matrix %.2f ms, the code pipeline %.2f ms (%.0fx)\n", ...
        1000 * direct, 1000 * coded, coded / direct);
