## Times the Octave modules against the vectorised Octave a user would write
## instead, on the same inputs in the same session, over growing state spaces
## (every subset of L symbols), after checking that both give the same
## results. Prints one table per module and draws docs/performance.png.
## Then the forward recursion alone: against its literal transcription
## (Zellmor_literal_mex, built with the benchmarks into bench-octave beside
## the module folder), each timed in fresh octave-cli processes; on one
## thread (OMP_NUM_THREADS=1) against the default; and on its rows in random
## order against subset order. Last, bench_batches.m: batches against loops of
## single calls, and the rescaled step against the raw one.
##
##   MEX_MODULE_DIR=build-bench/octave octave-cli --no-history bench/bench_octave.m
##
## Without MEX_MODULE_DIR the modules are taken from ../build/octave, next to
## this script.
1;
addpath (fileparts (mfilename ("fullpath")));  # best_time(s), family_rows

## Forward recursion, one vectorised update per symbol of the last state.
function F = forward_vectorised (T, O, S, P)
  n = rows (S);
  F = zeros (n, 1);
  single = sum (S, 2) == 1;
  [~, symbol] = max (S(single, :) == 1, [], 2);
  F(single) = O(symbol, 1);
  Q = find (S(n, :) == 1);
  has = P ~= -1;
  predecessor = P;
  predecessor(~has) = 1;
  for t = 1:T - 1
    next = zeros (n, 1);
    for k = 1:numel (Q)
      m = has(:, k);
      next(m) = next(m) + (F(predecessor(m, k)) + F(m)) .* O(Q(k), t + 1);
    endfor
    F = next / sum (next);
  endfor
endfunction

## Every ordered pair of rows 2..a at once, symbol by symbol: which pairs add
## one symbol (and which), which are the same state.
function [R, adds, same, added] = pairs_vectorised (S)
  R = S(2:end, :);
  m = rows (R);
  plus = false (m);
  minus = zeros (m);
  added = zeros (m);
  for c = 1:columns (R)
    d = R(:, c).' - R(:, c);  # d(to, from) = R(from, c) - R(to, c)
    plus = plus | d == 1;
    is_minus = d == -1;
    added(is_minus & minus == 0) = c;
    minus += is_minus;
  endfor
  adds = ! plus & minus == 1;
  same = ! plus & minus == 0;
endfunction

function counts = counts_vectorised (S)
  [R, adds, same, added] = pairs_vectorised (S);
  counts = accumarray (added(adds), 1, [columns(R), 1]) + (R == 1).' * sum (same, 2);
endfunction

## The same counts from the rows alone, for 0/1 rows: equal rows through
## unique, rows one symbol short through ismember.
function counts = counts_by_rows (S)
  R = S(2:end, :) == 1;
  [U, ~, g] = unique (R, "rows");
  sizes = accumarray (g, 1);
  counts = R.' * sizes(g);
  for c = 1:columns (R)
    less = R(R(:, c), :);
    less(:, c) = false;
    [found, where] = ismember (less, U, "rows");
    counts(c) += sum (sizes(where(found)));
  endfor
endfunction

function codes = codes_vectorised (S)
  [R, adds, same, added] = pairs_vectorised (S);
  codes = cell (1, columns (R));
  for c = 1:columns (R)
    events = (adds & added == c) | (same & R(:, c) == 1);
    [from, to] = find (events.');  # to ascending, then from
    codes{c} = (to * 1e6 + from).';
  endfor
  codes = [codes{:}];
endfunction

## The cells and weights of every code of the listed buckets, in list order.
function [to, from, weight] = listed_codes (w, list, codes, cum)
  edges = [0; cum(:)];
  position = cell (1, numel (list));
  weight = cell (1, numel (list));
  for i = 1:numel (list)
    l = list(i);
    position{i} = edges(l) + 1:edges(l + 1);
    weight{i} = repmat (w(l), 1, numel (position{i}));
  endfor
  code = codes([position{:}]);
  to = floor (code(:) / 1e6);
  from = code(:) - to * 1e6;
  weight = [weight{:}].';
endfunction

function A = assemble_vectorised (a, w, list, codes, cum)
  [to, from, weight] = listed_codes (w, list, codes, cum);
  A = accumarray ([to, from], weight, [a, a]);
endfunction

function A = assemble_sparse_vectorised (a, w, list, codes, cum)
  [to, from, weight] = listed_codes (w, list, codes, cum);
  A = sparse (to, from, weight, a, a);
endfunction

## The assembly's inputs for every subset of L symbols, every symbol listed
## once with weights that sum to 1.
function [X, w, list, codes, cum] = pipeline_inputs (L)
  S = all_subsets (L);
  counts = Ortesk_count_mex ([], S);
  codes = Ortesk_slots_mex ([], S, counts);
  w = (1:L) / sum (1:L);
  list = (1:L).';
  cum = cumsum (counts);
  X = zeros (1, rows (S) - 1);
endfunction


## The time of one call of module (T, O, S, P) in a fresh octave-cli, on the
## inputs saved in input_file, from the module's folder. A call without
## inputs loads the module first, and is refused before any work.
function t = fresh_process_time (folder, module, input_file)
  code = sprintf (["addpath ('%s'); load ('%s'); try %s (); end; tic (); %s (T, O, S, P); ", ...
                   "printf ('%%.17g', toc ());"], folder, input_file, module, module);
  [status, output] = system (sprintf ('octave-cli --no-history -q --no-init-file --eval "%s"', code));
  if (status ~= 0)
    error ("bench_octave: %s in a fresh process failed: %s", module, output);
  endif
  t = str2double (output);
endfunction

function print_table (title, size_name, sizes, names, times)
  printf ("\n%s\n%8s", title, size_name);
  printf (" %16s", names{:});
  for k = 2:numel (names)
    printf (" %10s", sprintf ("%d/1", k));
  endfor
  printf ("\n");
  for i = 1:numel (sizes)
    printf ("%8d", sizes(i));
    printf (" %14.4g s", times(i, :));
    printf (" %9.1fx", times(i, 2:end) / times(i, 1));
    printf ("\n");
  endfor
endfunction

here = fileparts (mfilename ("fullpath"));
module_dir = getenv ("MEX_MODULE_DIR");
if (isempty (module_dir))
  module_dir = fullfile (here, "..", "build", "octave");
endif
addpath (module_dir);
printf ("modules from %s\n", module_dir);
budget = 0.3;
rand ("seed", 1);

## Transitions and assembly: a = 2^L rows, L = 6..11. The assembly goes
## first: its a x a results are the largest blocks here, and how fast the
## host hands them out depends on what the session allocated before.
walk_L = 6:11;
walk_a = 2 .^ walk_L;
assembly_times = zeros (numel (walk_L), 4);
for i = 1:numel (walk_L)
  [X, w, list, codes, cum] = pipeline_inputs (walk_L(i));
  a = columns (X);
  assert (isequal (assemble_vectorised (a, w, list, codes, cum), Quivane_mex (X, w, list, codes, cum)));
  assembly_times(i, 1) = best_time (@() Quivane_mex (X, w, list, codes, cum), budget);
  assembly_times(i, 2) = best_time (@() assemble_vectorised (a, w, list, codes, cum), budget);
  assembly_times(i, 3) = best_time (@() zeros (a), budget);
  ## With no symbol listed the module only has the host create, zero-fill
  ## and hand back its a x a result.
  assembly_times(i, 4) = best_time (@() Quivane_mex (X, w, zeros (0, 1), codes, cum), budget);
endfor

## The sparse form on the largest of those state spaces (a = 2048 rows),
## against the dense one and against sparse () on the decoded buckets.
[X, w, list, codes, cum] = pipeline_inputs (walk_L(end));
a = columns (X);
As = Quivane_mex (X, w, list, codes, cum, "sparse");
assert (isequal (full (As), Quivane_mex (X, w, list, codes, cum)));
assert (full (assemble_sparse_vectorised (a, w, list, codes, cum)), full (As), 1e-15);
sparse_times = [best_time(@() Quivane_mex (X, w, list, codes, cum, "sparse"), budget), ...
                best_time(@() Quivane_mex (X, w, list, codes, cum), budget), ...
                best_time(@() assemble_sparse_vectorised (a, w, list, codes, cum), budget)];
sparse_entries = nnz (As);
clear As;

count_times = zeros (numel (walk_L), 3);
code_times = zeros (numel (walk_L), 2);
for i = 1:numel (walk_L)
  S = all_subsets (walk_L(i));
  counts = Ortesk_count_mex ([], S);
  assert (isequal (counts_vectorised (S), counts));
  assert (isequal (counts_by_rows (S), counts));
  assert (isequal (codes_vectorised (S), Ortesk_slots_mex ([], S, counts)));
  count_times(i, 1) = best_time (@() Ortesk_count_mex ([], S), budget);
  count_times(i, 2) = best_time (@() counts_vectorised (S), budget);
  count_times(i, 3) = best_time (@() counts_by_rows (S), budget);
  code_times(i, 1) = best_time (@() Ortesk_slots_mex ([], S, counts), budget);
  code_times(i, 2) = best_time (@() codes_vectorised (S), budget);
endfor

## Far beyond any pairwise baseline: the module alone.
S = all_subsets (20);
large_count_time = best_time (@() Ortesk_count_mex ([], S), 0);
clear S;

## Forward recursion: L = 6..12 symbols, n = 2^L states, T steps.
T = 100;
forward_L = 6:12;
forward_n = 2 .^ forward_L;
forward_times = zeros (numel (forward_L), 2);
for i = 1:numel (forward_L)
  L = forward_L(i);
  [S, P] = all_subsets (L);
  O = 0.5 + rand (L, T);
  assert (forward_vectorised (T, O, S, P), Zellmor_mex (T, O, S, P), -1e-12);
  forward_times(i, 1) = best_time (@() Zellmor_mex (T, O, S, P), budget);
  forward_times(i, 2) = best_time (@() forward_vectorised (T, O, S, P), budget);
endfor

print_table (sprintf ("forward recursion, T = %d steps, rescaled", T), "n", forward_n,
             {"Zellmor_mex", "vectorised"}, forward_times);
print_table ("transition counts", "a", walk_a, {"Ortesk_count_mex", "pairwise", "unique+ismember"},
             count_times);
print_table ("transition codes", "a", walk_a, {"Ortesk_slots_mex", "pairwise"}, code_times);
print_table ("transition matrix, every symbol listed once (a - 1 rows and columns)", "a", walk_a,
             {"Quivane_mex", "accumarray", "zeros(a-1)", "no symbol listed"}, assembly_times);
print_table (sprintf ("transition matrix as a sparse array (%d stored entries)", sparse_entries), "a",
             walk_a(end), {"Quivane sparse", "Quivane full", "sparse()"}, sparse_times);
printf ("\nk/1: the time in column k over the module's (column 1); above 1 the module is faster.\n");
printf ("\nOrtesk_count_mex on every subset of 20 symbols (a = 2^20): %.3f s\n", large_count_time);

## The literal transcription against the module: one call of each at L = 14,
## T = 200, each in fresh processes, best of five, turn about. Raw weights:
## O is scaled so that every weight of step T stays a normal number.
literal_dir = fullfile (module_dir, "..", "bench-octave");
L = 14;
T = 200;
[S, P] = all_subsets (L);
O = (0.5 + rand (L, T)) / L;
literal_times = [];
if (exist (fullfile (literal_dir, "Zellmor_literal_mex.mex"), "file"))
  addpath (literal_dir);
  assert (isequal (Zellmor_literal_mex (T, O, S, P), Zellmor_raw_mex (T, O, S, P)));
  input_file = [tempname(), ".mat"];
  save ("-binary", input_file, "T", "O", "S", "P");
  literal_times = Inf (1, 2);
  for run = 1:5
    literal_times(1) = min (literal_times(1), fresh_process_time (module_dir, "Zellmor_raw_mex", input_file));
    literal_times(2) = min (literal_times(2), fresh_process_time (literal_dir, "Zellmor_literal_mex", input_file));
  endfor
  delete (input_file);
endif

## One thread against the default, set and unset in this session: each
## call reads OMP_NUM_THREADS anew. Whatever the caller had is put back.
thread_cases = [14, 200; 18, 40];
thread_modules = {"Zellmor_raw_mex", "Zellmor_mex"};
thread_times = zeros (rows (thread_cases), 2, numel (thread_modules));
threads_before = getenv ("OMP_NUM_THREADS");
for i = 1:rows (thread_cases)
  [L, T] = deal (thread_cases(i, 1), thread_cases(i, 2));
  [S, P] = all_subsets (L);
  O = (0.5 + rand (L, T)) / L;
  for m = 1:numel (thread_modules)
    forward = @() feval (thread_modules{m}, T, O, S, P);
    unsetenv ("OMP_NUM_THREADS");
    thread_times(i, 1, m) = best_time (forward, 0, 5);
    setenv ("OMP_NUM_THREADS", "1");
    thread_times(i, 2, m) = best_time (forward, 0, 5);
  endfor
endfor
if (isempty (threads_before))
  unsetenv ("OMP_NUM_THREADS");
else
  setenv ("OMP_NUM_THREADS", threads_before);
endif

## Subset order against the same family with its rows shuffled (the full
## set still last), and the family of every set of at most 5 of 18 symbols,
## whose P leaves out the larger sets: its full set has no predecessor.
## Raw weights, whose bits do not depend on the order of the rows.
order_cases = [14, 200; 16, 200; 20, 20; 18, 200];
order_names = {"all subsets", "all subsets", "all subsets", "at most 5 of 18"};
order_n = zeros (rows (order_cases), 1);
order_times = zeros (rows (order_cases), 2);
order_terms = zeros (rows (order_cases), 1);
for i = 1:rows (order_cases)
  [L, T] = deal (order_cases(i, 1), order_cases(i, 2));
  [S, P] = all_subsets (L);
  if (i == rows (order_cases))
    [S, P] = family_rows (S, P, [find(sum (S, 2) <= 5); rows(S)]);
  endif
  n = rows (S);
  kept = [randperm(n - 1), n];
  [shuffled_S, shuffled_P] = family_rows (S, P, kept);
  O = (0.5 + rand (L, T)) / L;
  F = Zellmor_raw_mex (T, O, S, P);
  assert (isequal (Zellmor_raw_mex (T, O, shuffled_S, shuffled_P), F(kept)));
  order_n(i) = n;
  order_times(i, :) = best_times ({@() Zellmor_raw_mex(T, O, S, P), ...
                                   @() Zellmor_raw_mex(T, O, shuffled_S, shuffled_P)}, budget);
  order_terms(i) = nnz (P ~= -1) * (T - 1);
endfor
clear S P shuffled_S shuffled_P F;

if (isempty (literal_times))
  printf ("\nZellmor_literal_mex not found in %s: the literal recursion is not timed\n", literal_dir);
else
  printf (["\nforward recursion, L = 14, T = 200, raw, one call in a fresh process (best of 5):\n", ...
           "  Zellmor_raw_mex %.4g s, Zellmor_literal_mex %.4g s, literal/module %.0fx\n"], ...
          literal_times, literal_times(2) / literal_times(1));
endif
for m = 1:numel (thread_modules)
  steps = sprintf ("T = %d at n = %d, ", [thread_cases(:, 2), 2 .^ thread_cases(:, 1)].');
  print_table (sprintf ("%s, the default against OMP_NUM_THREADS=1 (%s; best of 5)", thread_modules{m}, ...
                        steps(1:end - 2)), "n", 2 .^ thread_cases(:, 1), {"default", "one thread"}, ...
               thread_times(:, :, m));
endfor
printf ("\nZellmor_raw_mex, subset order against the rows shuffled (the full set last)\n");
printf ("%16s %8s %4s %14s %14s %8s %10s %10s\n", "family", "n", "T", "subset order", "shuffled", "2/1", ...
        "G terms/s", "shuffled");
for i = 1:rows (order_cases)
  printf ("%16s %8d %4d %12.4g s %12.4g s %7.2fx %10.2f %10.2f\n", order_names{i}, order_n(i), order_cases(i, 2), ...
          order_times(i, :), order_times(i, 2) / order_times(i, 1), order_terms(i) ./ order_times(i, :) / 1e9);
endfor


## The plot is drawn on screen where there is a display, then saved. Headless,
## Octave draws with gnuplot, whose cairo terminal writes the PNG without
## Ghostscript at 72 pixels to the inch whatever the resolution asked for;
## its advice to use another toolkit says nothing here. Where it cannot draw
## (no font Octave can measure text with: Debian's fonts-freefont-otf) the
## tables above still stand.
plot_file = fullfile (here, "..", "docs", "performance.png");
try
  size_inches = [9.6, 6];
  device = "-dpng";
  if (strcmp (graphics_toolkit (), "gnuplot"))
    warning ("off", "Octave:gnuplot-graphics");
    warning ("off", "print:nogs");
    size_inches *= 100 / 72;
    device = "-dpngcairo";
  endif
  visible = {"off", "on"}{1 + have_window_system ()};
  fig = figure ("visible", visible, "paperunits", "inches", "paperposition", [0, 0, size_inches]);
  ## One colour per task: the module solid, the Octave baselines dashed and dotted.
  series = {forward_n, forward_times(:, 1), "-o", [0.00 0.45 0.74], "Zellmor_mex"
            forward_n, forward_times(:, 2), "--o", [0.00 0.45 0.74], sprintf("forward, vectorised (T = %d)", T)
            walk_a, count_times(:, 1), "-s", [0.85 0.33 0.10], "Ortesk_count_mex"
            walk_a, count_times(:, 2), "--s", [0.85 0.33 0.10], "counts, pairwise"
            walk_a, count_times(:, 3), ":s", [0.85 0.33 0.10], "counts, unique+ismember"
            walk_a, code_times(:, 1), "-^", [0.47 0.67 0.19], "Ortesk_slots_mex"
            walk_a, code_times(:, 2), "--^", [0.47 0.67 0.19], "codes, pairwise"
            walk_a, assembly_times(:, 1), "-d", [0.64 0.08 0.18], "Quivane_mex"
            walk_a, assembly_times(:, 2), "--d", [0.64 0.08 0.18], "assembly, accumarray"
            walk_a, assembly_times(:, 3), ":d", [0.64 0.08 0.18], "zeros(a-1)"};
  for k = 1:rows (series)
    loglog (series{k, 1}, series{k, 2}, series{k, 3}, "color", series{k, 4}, "linewidth", 1.5);
    hold on;
  endfor
  hold off;
  legend (series(:, 5), "location", "eastoutside", "interpreter", "none");
  xlim ([50, 5000]);
  xlabel ("states (rows of S)");
  ylabel ("seconds per call");
  title ("modules (solid) against vectorised Octave (dashed, dotted)");
  grid on;
  print (fig, device, "-r100", plot_file);
  printf ("plot written to %s\n", plot_file);
catch err
  printf ("plot not drawn: %s\n", err.message);
end_try_catch
bench_batches
