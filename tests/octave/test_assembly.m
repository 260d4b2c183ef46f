## End-to-end tests of Quivane_mex, the weighted transition matrix, alone and
## at the end of the pipeline Ortesk_count_mex -> Ortesk_slots_mex.

## The assembly written out: for each listed symbol in list order, each code
## of its bucket in bucket order, one addition at a time.
%!function A = literal_assembly (a, w, list, codes, cum)
%!  A = zeros (a);
%!  for l = list(:)'
%!    first = 0;
%!    if (l > 1)
%!      first = cum(l-1);
%!    endif
%!    for p = first+1:cum(l)
%!      to = fix (codes(p) / 1e6);
%!      from = codes(p) - to * 1e6;
%!      A(to,from) = A(to,from) + w(l);
%!    endfor
%!  endfor
%!endfunction

## The whole pipeline for membership matrix S.
%!function A = pipeline (S, w, list)
%!  counts = Ortesk_count_mex ([], S);
%!  codes = Ortesk_slots_mex ([], S, counts);
%!  A = call_keeping_inputs ("Quivane_mex", zeros (1, rows (S) - 1), w, list, codes, cumsum (counts));
%!endfunction

%!shared X, w, codes, cum
%! X = zeros (1, 3);
%! w = [0.25 0.75];
%! codes = [1000001 3000002 3000003 2000002 3000001 3000003];
%! cum = [3 6];

## Symbol lists and their results for the codes of all subsets of 2 symbols.
%!test
%! both = [0.25 0 0; 0 0.75 0; 0.75 0.25 1];
%! second = [0 0 0; 0 0.75 0; 0.75 0 0.75];
%! cases = {[1; 2],      both
%!          2,           second
%!          [2 1],       second
%!          [2; 2],      2 * second
%!          [2; 1; 2],   both + second
%!          zeros(0, 1), zeros(3)
%!          zeros(1, 0), zeros(3)
%!          [],          zeros(3)};
%! for c = 1:rows (cases)
%!   A = call_keeping_inputs ("Quivane_mex", X, w, cases{c,1}, codes, cum);
%!   assert (A, cases{c,2}, 0);
%! endfor

## Only the column count of the first input matters; unlisted buckets are
## neither read nor checked.
%!test
%! want = Quivane_mex (X, w, [1; 2], codes, cum);
%! assert (Quivane_mex (zeros (5, 3), w, [1; 2], codes, cum), want);
%! assert (Quivane_mex (X, w, 2, [0 -1 7 codes(4:6)], cum), Quivane_mex (X, w, 2, codes, cum));
%! assert (Quivane_mex (zeros (0, 5), w, [1; 2], codes, cum), [want, zeros(3, 2); zeros(2, 5)]);

## All subsets of 2 to 6 symbols, every symbol listed once, weights summing
## to 1: every column sums to 1.
%!test
%! rand ("seed", 3);
%! for L = 2:6
%!   S = all_subsets (L);
%!   v = rand (1, L);
%!   A = pipeline (S, v / sum (v), (1:L)');
%!   assert (size (A), [2^L-1, 2^L-1]);
%!   assert (sum (A), ones (1, 2^L-1), 1e-12);
%! endfor

## Bit for bit against the literal assembly on random 0/1 state spaces, with
## symbols listed in any order, some twice, some not at all.
%!test
%! rand ("seed", 29);
%! for trial = 1:30
%!   a = 2 + floor (rand * 30);
%!   L = 1 + floor (rand * 6);
%!   S = double (rand (a, L) < 0.5);
%!   v = rand (1, L);
%!   list = 1 + floor (rand (floor (rand * 2 * L), 1) * L);
%!   k = Ortesk_count_mex ([], S);
%!   e = Ortesk_slots_mex ([], S, k);
%!   A = call_keeping_inputs ("Quivane_mex", zeros (1, a - 1), v, list, e, cumsum (k));
%!   assert (isequal (A, literal_assembly (a - 1, v, list, e, cumsum (k))), "trial %d", trial);
%! endfor

%!error id=Quivane_mex:notEnoughInputs Quivane_mex (X, w, [1; 2], codes)
%!error id=Quivane_mex:tooManyOutputs [A, B] = Quivane_mex (X, w, [1; 2], codes, cum)
%!error id=Quivane_mex:notRealDouble Quivane_mex (X, complex (w), [1; 2], codes, cum)
%!error id=Quivane_mex:badSymbol Quivane_mex (X, w, 3, codes, cum)
%!error id=Quivane_mex:badCum Quivane_mex (X, w, [1; 2], codes, [3 3])
%!error id=Quivane_mex:badBucket Quivane_mex (X, w, 2, codes, [2.5 6])
%!error id=Quivane_mex:badCode Quivane_mex (X, w, 1, [0 codes(2:end)], cum)

## A class other than a real, full numeric or logical array at each input
## position.
%!test
%! args = {X, w, [1; 2], codes, cum};
%! for k = 1:5
%!   for f = {@complex, @sparse, @(x) {x}, @(x) complex (single (x)), @(x) sparse (logical (x))}
%!     bad = args;
%!     bad{k} = f{1} (bad{k});
%!     assert (error_identifier ("Quivane_mex", bad{:}), "Quivane_mex:notRealDouble");
%!   endfor
%! endfor

## Rejected inputs: {reason, w, list, codes, cum}.
%!test
%! cases = {};
%! for s = {0, 3, 1.5, NaN, -1, Inf, [1; 3], [2; 0]}
%!   cases(end+1,:) = {"badSymbol", w, s{1}, codes, cum};
%! endfor
%! cases(end+1,:) = {"badSymbol", 0.25, 2, codes, cum};
%! cases(end+1,:) = {"badSymbol", w, 2, codes, 3};
%! for c = {[3 2], [3 7], [3 NaN], [-1 6], [3 6.5], [7 6], [3 3], [3 Inf], [6 12]}
%!   cases(end+1,:) = {"badCum", w, 2, codes, c{1}};
%!   cases(end+1,:) = {"badCum", w, zeros(0, 1), codes, c{1}};
%! endfor
%! for c = {[2.5 6], [3.5 6], [0.5 1 6]}
%!   cases(end+1,:) = {"badBucket", w, 2, codes, c{1}};
%! endfor
%! cases(end+1,:) = {"badBucket", w, 1, codes, [2.5 6]};
%! for e = {0, 4000001, 1000004, 1500000.5, -1000001, 5, NaN, 2^31}
%!   bad = codes;
%!   bad(2) = e{1};
%!   cases(end+1,:) = {"badCode", w, [2; 1], bad, cum};
%! endfor
%! for c = 1:rows (cases)
%!   got = error_identifier ("Quivane_mex", X, cases{c,2:end});
%!   assert (strcmp (got, ["Quivane_mex:" cases{c,1}]), "case %d: '%s'", c, got);
%! endfor
%! ## S itself as the first input: the codes' message blames input 1.
%! try
%!   Quivane_mex ([0 0; 1 0; 0 1; 1 1], w, [1; 2], codes, cum);
%!   error ("accepted");
%! catch err
%!   assert (err.identifier, "Quivane_mex:badCode");
%!   assert (index (err.message, "does not fit a = 2 (the column count of input 1") > 0, "%s", err.message);
%! end_try_catch

## The sparse form: full() holds the dense bits, room for exactly the entries
## stored and none of them 0, also where weights cancel (the diagonal of a
## state holding both symbols of w = [0.5 -0.5]).
%!test
%! rand ("seed", 37);
%! pool = [0.25 -0.25 0.5 -0.5 0.1 -0.1];
%! for trial = 1:20
%!   L = 1 + floor (rand * 6);
%!   S = all_subsets (L);
%!   v = pool(1 + floor (rand (1, L) * numel (pool)));
%!   list = 1 + floor (rand (floor (rand * 2 * L), 1) * L);
%!   k = Ortesk_count_mex ([], S);
%!   e = Ortesk_slots_mex ([], S, k);
%!   args = {zeros(1, rows (S) - 1), v, list, e, cumsum(k)};
%!   A = call_keeping_inputs ("Quivane_mex", args{:}, "sparse");
%!   dense = Quivane_mex (args{:});
%!   assert (issparse (A) && isequal (full (A), dense), "trial %d", trial);
%!   ## An empty sparse matrix keeps room for one entry, as sparse (a, a) does.
%!   assert (nzmax (A), max (nnz (dense), nzmax (sparse (1, 1))));
%!   assert (isequal (Quivane_mex (args{:}, "Full"), dense) && isequal (Quivane_mex (args{:}, "SPARSE"), A));
%! endfor
%! A = Quivane_mex (X, [0.5 -0.5], [1; 2], codes, cum, "sparse");
%! assert (full (A), [0.5 0 0; 0 -0.5 0; -0.5 0.5 0]);
%! assert (nzmax (A), 4);

%!test
%! for form = {"sparse ", "sprase", "", "fulll", 1, {"sparse"}, ["sparse"; "sparse"]}
%!   assert (error_identifier ("Quivane_mex", X, w, [1; 2], codes, cum, form{1}), "Quivane_mex:badForm");
%! endfor
